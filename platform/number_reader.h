#pragma once

#include <string_view>

namespace tessaril {

/// Reads the number that `text` begins with, "." being the decimal point and spaces, tabs and
/// line feeds ignored wherever they stand. Accepts an optional sign, digits with at most one
/// ".", an optional exponent (E, e, D or d, optional sign, digits) and the integer prefixes
/// "&H" (hexadecimal) and "&O" (octal). Never fails: text without a leading number gives 0,
/// a value beyond the double range gives infinity of its sign, and one too small for it zero of
/// its sign.
double ReadNumber(std::string_view text);

}  // namespace tessaril
