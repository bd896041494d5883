#include "platform/number_reader.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace tessaril {
namespace {

bool IsIgnoredBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int DigitValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
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

double ReadPrefixedInteger(BlankSkippingCursor& cursor, int radix) {
  double value = 0;
  while (DigitValue(cursor.Peek()) < radix) {
    value = value * radix + DigitValue(cursor.Peek());
    cursor.Advance();
  }
  return value;
}

// Only reached when the value is beyond the double range: a number of magnitude one or more
// overflowed, a smaller one underflowed.
double OutOfRangeValue(const std::string& number) {
  const bool negative = number.front() == '-';
  std::size_t exponent_at = number.find('e');
  std::string_view mantissa(number.data(), std::min(exponent_at, number.size()));
  long long exponent = 0;
  if (exponent_at != std::string::npos) {
    std::string_view digits(number.data() + exponent_at + 1, number.size() - exponent_at - 1);
    const bool exponent_negative = !digits.empty() && digits.front() == '-';
    for (char c : digits) {
      if (IsDigit(c) && exponent < 1'000'000'000) exponent = exponent * 10 + (c - '0');
    }
    if (exponent_negative) exponent = -exponent;
  }
  // Decimal position of the first significant digit relative to the units place.
  long long position = 0;
  bool before_point = true;
  long long integer_digits = 0;
  for (char c : mantissa) {
    if (c == '.') {
      before_point = false;
    } else if (IsDigit(c)) {
      if (before_point) {
        if (integer_digits > 0 || c != '0') ++integer_digits;
      } else if (integer_digits == 0) {
        --position;
        if (c != '0') break;
      }
    }
  }
  if (integer_digits > 0) position = integer_digits - 1;
  const double magnitude = position + exponent >= 0 ? std::numeric_limits<double>::infinity() : 0.0;
  return negative ? -magnitude : magnitude;
}

}  // namespace

double ReadNumber(std::string_view text) {
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

  // The significant characters, compacted into the form std::from_chars reads.
  std::string number;
  if (cursor.Peek() == '+' || cursor.Peek() == '-') {
    if (cursor.Peek() == '-') number += '-';
    cursor.Advance();
  }
  bool has_digits = false;
  bool seen_point = false;
  for (char c = cursor.Peek(); IsDigit(c) || (c == '.' && !seen_point); c = cursor.Peek()) {
    seen_point = seen_point || c == '.';
    has_digits = has_digits || IsDigit(c);
    number += c;
    cursor.Advance();
  }
  if (!has_digits) return 0;

  const char exponent_letter = cursor.Peek();
  if (exponent_letter == 'E' || exponent_letter == 'e' || exponent_letter == 'D' ||
      exponent_letter == 'd') {
    // An exponent letter without digits is not part of the number, which from_chars also
    // leaves unread.
    number += 'e';
    cursor.Advance();
    if (cursor.Peek() == '+' || cursor.Peek() == '-') {
      number += cursor.Peek();
      cursor.Advance();
    }
    while (IsDigit(cursor.Peek())) {
      number += cursor.Peek();
      cursor.Advance();
    }
  }

  double value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error == std::errc::result_out_of_range) return OutOfRangeValue(number);
  return value;
}

}  // namespace tessaril
