#include "platform/number_reader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace tessaril {
namespace {

bool IsIgnoredBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The value of a hexadecimal digit; beyond every radix for any other character.
int DigitValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::numeric_limits<int>::max();
}

// Walks the text one significant character at a time, stepping over the ignored blanks.
class BlankSkippingCursor {
 public:
  explicit BlankSkippingCursor(std::string_view text) : text_(text) { SkipBlanks(); }

  bool AtEnd() const { return pos_ == text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
  void Advance() {
    ++pos_;
    SkipBlanks();
  }

 private:
  void SkipBlanks() {
    while (pos_ < text_.size() && IsIgnoredBlank(text_[pos_])) ++pos_;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

// Reads the digits of an integer in `radix` (8 or 16) and rounds it once to the nearest double:
// 64 bits hold the leading digits exactly, and the later ones only scale them; whether one of
// those was nonzero decides a tie, through the lowest bit, far below where the double rounds.
double ReadPrefixedInteger(BlankSkippingCursor& cursor, int radix) {
  const int bits_per_digit = radix == 16 ? 4 : 3;
  std::uint64_t leading = 0;
  int scale = 0;
  bool dropped_nonzero = false;
  for (int digit = DigitValue(cursor.Peek()); digit < radix; digit = DigitValue(cursor.Peek())) {
    if (leading >> (64 - bits_per_digit) == 0) {
      leading = leading << bits_per_digit | static_cast<std::uint64_t>(digit);
    } else {
      // Past 2^1100 every value is infinity; the bound keeps the count from overflowing.
      scale = std::min(scale + bits_per_digit, 1100);
      dropped_nonzero = dropped_nonzero || digit != 0;
    }
    cursor.Advance();
  }
  return std::ldexp(static_cast<double>(leading | (dropped_nonzero ? 1u : 0u)), scale);
}

// The number as its significant digits and a power of ten. Most numbers are a few digits with a
// small power: both are exact doubles then, so one multiplication or division rounds correctly;
// any other number is left to std::from_chars.
struct DecimalNumber {
  static constexpr std::uint64_t kLargestExactInteger = std::uint64_t{1} << 53;
  static constexpr long long kLargestExactPowerOfTen = 22;

  void AddDigit(int digit, bool after_point) {
    if (digits >= kLargestExactInteger) {
      // No room for the digit; before the point it still moves the others up a place.
      inexact = true;
      if (!after_point) ++exponent;
      return;
    }
    digits = digits * 10 + static_cast<std::uint64_t>(digit);
    if (after_point) --exponent;
  }

  std::optional<double> ExactValue() const {
    if (inexact || digits > kLargestExactInteger) return std::nullopt;
    if (exponent < -kLargestExactPowerOfTen || exponent > kLargestExactPowerOfTen) {
      return std::nullopt;
    }
    const double power = kPowersOfTen[static_cast<std::size_t>(std::abs(exponent))];
    double value = static_cast<double>(digits);
    value = exponent < 0 ? value / power : value * power;
    return negative ? -value : value;
  }

  // For a value beyond the double range: scaled up, it overflowed, as its digits make at least
  // one; scaled down, it underflowed, as they hold at most 17 places, far below the largest double.
  double OutOfRangeValue() const {
    const double magnitude = exponent >= 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -magnitude : magnitude;
  }

  static constexpr std::array<double, kLargestExactPowerOfTen + 1> kPowersOfTen = {
      1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
      1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

  bool negative = false;
  bool inexact = false;
  std::uint64_t digits = 0;
  long long exponent = 0;
};

// The form nearly every catalogue field has: spaces, an optional sign, digits with at most one
// point, then spaces only. It is read in one pass into the same exact decimal as the general
// reader's; any other text, or a number that is not exact, is left to the general reader.
std::optional<double> ReadPlainDecimal(std::string_view text) {
  // Past the end (npos) when the text is only spaces.
  std::size_t i = text.find_first_not_of(' ');
  DecimalNumber decimal;
  decimal.negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  bool has_digits = false;
  bool seen_point = false;
  for (; i < text.size(); ++i) {
    if (IsDigit(text[i])) {
      decimal.AddDigit(text[i] - '0', seen_point);
      has_digits = true;
    } else if (text[i] == '.' && !seen_point) {
      seen_point = true;
    } else {
      break;
    }
  }
  if (!has_digits || text.find_first_not_of(' ', i) != std::string_view::npos) return std::nullopt;
  return decimal.ExactValue();
}

}  // namespace

double ReadNumber(std::string_view text) {
  if (const std::optional<double> value = ReadPlainDecimal(text)) return *value;
  BlankSkippingCursor cursor(text);
  if (cursor.Peek() == '&') {
    cursor.Advance();
    const char prefix = cursor.Peek();
    if (prefix == 'H' || prefix == 'h') {
      cursor.Advance();
      return ReadPrefixedInteger(cursor, 16);
    }
    if (prefix == 'O' || prefix == 'o') {
      cursor.Advance();
      return ReadPrefixedInteger(cursor, 8);
    }
    return 0;
  }

  // Its significant characters, in the form std::from_chars reads.
  std::string number;
  DecimalNumber decimal;
  if (cursor.Peek() == '+' || cursor.Peek() == '-') {
    decimal.negative = cursor.Peek() == '-';
    if (decimal.negative) number.push_back('-');
    cursor.Advance();
  }
  bool has_digits = false;
  bool seen_point = false;
  for (char c = cursor.Peek(); IsDigit(c) || (c == '.' && !seen_point); c = cursor.Peek()) {
    if (c == '.') {
      seen_point = true;
    } else {
      has_digits = true;
      decimal.AddDigit(c - '0', seen_point);
    }
    number.push_back(c);
    cursor.Advance();
  }
  if (!has_digits) return 0;

  const char exponent_letter = cursor.Peek();
  if (exponent_letter == 'E' || exponent_letter == 'e' || exponent_letter == 'D' ||
      exponent_letter == 'd') {
    // An exponent letter without digits is not part of the number, which from_chars also
    // leaves unread.
    number.push_back('e');
    cursor.Advance();
    bool exponent_negative = false;
    if (cursor.Peek() == '+' || cursor.Peek() == '-') {
      exponent_negative = cursor.Peek() == '-';
      number.push_back(cursor.Peek());
      cursor.Advance();
    }
    // Clamped far beyond the length of any text, so that a clamped exponent outweighs the places
    // of any digits and keeps the sign that tells overflow from underflow.
    long long exponent = 0;
    while (IsDigit(cursor.Peek())) {
      exponent = std::min(exponent * 10 + (cursor.Peek() - '0'), 1'000'000'000'000'000LL);
      number.push_back(cursor.Peek());
      cursor.Advance();
    }
    decimal.exponent += exponent_negative ? -exponent : exponent;
  }

  if (const std::optional<double> value = decimal.ExactValue()) return *value;
  double value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error == std::errc::result_out_of_range) return decimal.OutOfRangeValue();
  return value;
}

}  // namespace tessaril
