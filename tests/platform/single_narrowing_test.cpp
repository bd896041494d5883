#include "platform/single_narrowing.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace tessaril {
namespace {

constexpr float kLargest = std::numeric_limits<float>::max();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

TEST(NarrowToSingle, RoundsToNearestAndSaturatesToInfinity) {
  struct Case {
    double value;
    float expected;
  };
  const Case cases[] = {
      {0.1, 0.1f},
      {-2.5, -2.5f},
      {34e37, 34e37f},
      {35e37, kInfinity},
      {-35e37, -kInfinity},
      {1e39, kInfinity},
      {static_cast<double>(kLargest), kLargest},
      // Just above the largest single but below the halfway point: rounds down.
      {static_cast<double>(kLargest) + 0x1p102, kLargest},
      {-(static_cast<double>(kLargest) + 0x1p102), -kLargest},
      // The halfway point rounds to even, which is up to infinity.
      {0x1.ffffffp+127, kInfinity},
      {std::numeric_limits<double>::infinity(), kInfinity},
      {1e-50, 0.0f},
      // Singles below the normal range keep what they can.
      {1e-40, 1e-40f},
      {0x1p-149, 0x1p-149f},
      {0x1p-151, 0.0f},
  };
  for (const auto& [value, expected] : cases) {
    EXPECT_EQ(std::bit_cast<std::uint32_t>(NarrowToSingle(value)),
              std::bit_cast<std::uint32_t>(expected))
        << "value " << value;
  }
}

TEST(NarrowToSingle, PointOneHasTheBitsOfTheNearestSingle) {
  EXPECT_EQ(std::bit_cast<std::uint32_t>(NarrowToSingle(0.1)), 0x3DCCCCCDu);
}

TEST(NarrowToSingle, NegativeZeroStaysNegative) {
  EXPECT_EQ(std::bit_cast<std::uint32_t>(NarrowToSingle(-0.0)), 0x80000000u);
}

TEST(NarrowToSingle, NotANumberStaysNotANumber) {
  EXPECT_TRUE(std::isnan(NarrowToSingle(std::numeric_limits<double>::quiet_NaN())));
}

}  // namespace
}  // namespace tessaril
