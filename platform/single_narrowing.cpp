#include "platform/single_narrowing.h"

#include <cmath>
#include <limits>

namespace tessaril {

float NarrowToSingle(double value) {
  constexpr float kLargest = std::numeric_limits<float>::max();
  // Halfway between the largest single (mantissa all ones) and 2^128: from here on, rounding to
  // nearest even goes up to infinity.
  constexpr double kRoundsToInfinity = 0x1.ffffffp+127;
  const double magnitude = std::fabs(value);
  if (magnitude >= kRoundsToInfinity) {
    return std::signbit(value) ? -std::numeric_limits<float>::infinity()
                               : std::numeric_limits<float>::infinity();
  }
  // Between the largest single and the halfway point the value rounds down; converting it
  // directly would be undefined behaviour.
  if (magnitude > kLargest) return std::signbit(value) ? -kLargest : kLargest;
  return static_cast<float>(value);
}

}  // namespace tessaril
