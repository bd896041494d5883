#include "catalog/number_field.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace tessaril {

double ReadNumber(std::string_view field) {
  // The field's significant characters, a decimal comma read as the point, and the exponent
  // letter D, which from_chars does not know, as E; the digit D of "&HD" stays.
  std::array<char, kNumberWidth> significant;
  std::size_t size = 0;
  for (const char c : field.substr(0, kNumberWidth)) {
    if (c == ' ' || c == '\t' || c == '\n') continue;
    const bool exponent_letter = (c == 'D' || c == 'd') && (size == 0 || significant[0] != '&');
    significant[size++] = c == ',' ? '.' : exponent_letter ? 'e' : c;
  }
  const std::string_view text(significant.data(), size);
  if (text.starts_with('&')) {
    const char prefix = text.size() > 1 ? text[1] : '\0';
    const int radix = prefix == 'H' || prefix == 'h' ? 16 : prefix == 'O' || prefix == 'o' ? 8 : 0;
    unsigned value = 0;  // Stays 0 where no digit of the radix follows.
    if (radix != 0) std::from_chars(text.data() + 2, text.data() + text.size(), value, radix);
    return value;
  }
  // A sign must be followed by the number itself, as from_chars would read "inf" or "nan" too;
  // it takes no "+".
  const bool negative = text.starts_with('-');
  const std::size_t start = negative || text.starts_with('+') ? 1 : 0;
  if (start == size || !((text[start] >= '0' && text[start] <= '9') || text[start] == '.')) {
    return 0;
  }
  double value = 0;
  const auto [end, error] =
      std::from_chars(text.data() + (negative ? 0 : start), text.data() + size, value);
  // Five characters reach no value too small for a double, nor a negative one too large for it:
  // only a positive one such as 9E999.
  if (error == std::errc::result_out_of_range) return std::numeric_limits<double>::infinity();
  return value;
}

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
