#pragma once

#include <cstddef>
#include <string_view>

namespace tessaril {

/// The width of the number field, columns 51 to 55.
inline constexpr std::size_t kNumberWidth = 5;

/// Reads the number that a number field (up to five characters) begins with: spaces, tabs and
/// line feeds are ignored wherever they stand, and "," is the decimal point as "." is. Takes an
/// optional sign, digits with at most one point, an optional exponent (E, e, D or d, optional
/// sign, digits) and the integer prefixes "&H" (hexadecimal) and "&O" (octal). Never fails: a
/// field without a leading number gives 0, and one beyond the double range infinity.
double ReadNumber(std::string_view field);

/// Rounds `value` to the nearest single-precision value. Never fails: a value that rounds past
/// the largest single gives infinity of its sign, and NaN stays NaN.
float NarrowToSingle(double value);

}  // namespace tessaril
