#include "platform/number_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace tessaril {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

struct NumberCase {
  std::string text;
  double expected;
};

TEST(ReadNumber, ReadsTheLeadingNumber) {
  const NumberCase cases[] = {
      {"12.5 ", 12.5},
      {" 0.95", 0.95},
      {"1.25 ", 1.25},
      {"1 2.5", 12.5},
      {"     ", 0},
      {"abc  ", 0},
      {"", 0},
      {"-3", -3},
      {"+3", 3},
      {"- 3", -3},
      {".5", 0.5},
      {"5.", 5},
      {".", 0},
      {"-.", 0},
      {"--1", 0},
      {"1.2.3", 1.2},
      {"12abc", 12},
      {"\t7\n", 7},
      {"1E39", 1e39},
      {"1e+2", 100},
      {"1D2", 100},
      {"1d-2", 0.01},
      {"2E 3", 2000},
      {"1E", 1},
      {"1E+", 1},
      {"3e-x", 3},
      {"&H1F", 31},
      {"&hff", 255},
      {"&O17", 15},
      {"&o8", 0},
      {"&Z1", 0},
      {"& H 1 0", 16},
      {"1e400", kInfinity},
      {"-1e400", -kInfinity},
      {"1e-400", 0},
      {"0.000001e310", 1e304},
      {"1" + std::string(400, '0'), kInfinity},
      {"0." + std::string(400, '0') + "1", 0},
      {"123" + std::string(300, '0') + "e10", kInfinity},
      {"1" + std::string(400, '0') + "e-500", 1e-100},
      {"-0.00012e-320", 0},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(ReadNumber(text), expected) << "text: \"" << text << '"';
  }
}

TEST(ReadNumber, RoundsEveryDecimalToTheNearestDouble) {
  // Rows on both sides of the limits of exact small decimals: 2^53 and 10^22.
  const NumberCase cases[] = {
      {"0.3", 0.3},
      {"123.456", 123.456},
      {"1e22", 1e22},
      {"1e23", 1e23},
      {"1e-22", 1e-22},
      {"9007199254740992", 9007199254740992.0},
      {"9007199254740993", 9007199254740993.0},
      {"123456789012345678e-5", 123456789012345678e-5},
      {"1.7976931348623158e308", 1.7976931348623158e308},
      {"2.4703282292062328e-324", 2.4703282292062328e-324},
      {"4.9e-324", 4.9e-324},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(ReadNumber(text), expected) << "text: \"" << text << '"';
  }
}

TEST(ReadNumber, UnderflowKeepsTheSign) {
  const double value = ReadNumber("-1e-400");
  EXPECT_EQ(value, 0);
  EXPECT_TRUE(std::signbit(value));
}

}  // namespace
}  // namespace tessaril
