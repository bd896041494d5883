#pragma once

// What a line and a whole old catalogue must turn into, worked out from the documented layout
// alone and without the conversion's own readers, so that the fuzz targets compare two
// independent answers.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaril::fuzz {

/// Up to `width` bytes from the 1-based `column`.
inline std::string_view Columns(std::string_view line, std::size_t column, std::size_t width) {
  if (column > line.size()) return {};
  return line.substr(column - 1, width);
}

/// The record bytes of a text field: its columns less leading and trailing spaces (0x20 only),
/// moved left and padded with spaces to `width`.
inline std::string ExpectedText(std::string_view line, std::size_t column, std::size_t width) {
  std::string_view field = Columns(line, column, width);
  while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
  while (!field.empty() && field.back() == ' ') field.remove_suffix(1);
  std::string text(field);
  text.resize(width, ' ');
  return text;
}

/// The value of a number field of the simple form: an optional sign, digits and at most one
/// "," or ".", with spaces, tabs and line feeds anywhere. An empty or blank field gives 0.
/// Other forms (exponents, "&H", trailing letters) give no expectation.
inline std::optional<float> ExpectedSimpleNumber(std::string_view field) {
  std::string compact;
  for (char c : field) {
    if (c != ' ' && c != '\t' && c != '\n') compact += c;
  }
  if (compact.empty()) return 0.0f;
  double sign = 1;
  std::size_t at = 0;
  if (compact[0] == '+' || compact[0] == '-') {
    sign = compact[0] == '-' ? -1 : 1;
    at = 1;
  }
  std::int64_t digits = 0;
  int digit_count = 0;
  int decimals = 0;
  bool seen_separator = false;
  for (; at < compact.size(); ++at) {
    const char c = compact[at];
    if (c >= '0' && c <= '9') {
      digits = digits * 10 + (c - '0');
      ++digit_count;
      if (seen_separator) ++decimals;
    } else if ((c == ',' || c == '.') && !seen_separator) {
      seen_separator = true;
    } else {
      return std::nullopt;
    }
  }
  if (digit_count == 0) return 0.0f;
  double scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  // Both operands are exact, so the quotient is the double nearest to the decimal value.
  return static_cast<float>(sign * (static_cast<double>(digits) / scale));
}

/// Days from 1 March of year 0 of the proleptic Gregorian calendar, counted by eras of 400
/// years.
inline std::int64_t DaysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = year / 400;
  const std::int64_t year_of_era = year - era * 400;
  const std::int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t day_of_era =
      year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era;
}

inline bool IsCalendarDate(int year, int month, int day) {
  if (month < 1 || month > 12 || day < 1) return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

/// Reads `min_digits` to `max_digits` decimal digits from the front of `text`.
inline bool TakeDigits(std::string_view& text, int min_digits, int max_digits, int& value,
                       int& count) {
  value = 0;
  count = 0;
  while (!text.empty() && text.front() >= '0' && text.front() <= '9' && count < max_digits) {
    value = value * 10 + (text.front() - '0');
    text.remove_prefix(1);
    ++count;
  }
  const bool more_digits = !text.empty() && text.front() >= '0' && text.front() <= '9';
  return count >= min_digits && !more_digits;
}

inline bool TakeChar(std::string_view& text, char c) {
  if (text.empty() || text.front() != c) return false;
  text.remove_prefix(1);
  return true;
}

/// The day count of a date field, or nothing when the field holds no date. Accepted, between
/// spaces: D.M.YYYY and D.M.YY (day and month of one or two digits; YY below 30 is 20YY,
/// otherwise 19YY) and YYYY-M-D, with a four-digit year from 100 on.
inline std::optional<double> ExpectedDate(std::string_view field) {
  while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
  while (!field.empty() && field.back() == ' ') field.remove_suffix(1);
  int year = 0, month = 0, day = 0, count = 0;
  bool read = false;
  {
    std::string_view text = field;
    if (TakeDigits(text, 1, 2, day, count) && TakeChar(text, '.') &&
        TakeDigits(text, 1, 2, month, count) && TakeChar(text, '.') &&
        TakeDigits(text, 2, 4, year, count) && text.empty() && count != 3) {
      if (count == 2) year += year < 30 ? 2000 : 1900;
      read = count == 2 || year >= 100;
    }
  }
  if (!read) {
    std::string_view text = field;
    read = TakeDigits(text, 4, 4, year, count) && year >= 100 && TakeChar(text, '-') &&
           TakeDigits(text, 1, 2, month, count) && TakeChar(text, '-') &&
           TakeDigits(text, 1, 2, day, count) && text.empty();
  }
  if (!read || !IsCalendarDate(year, month, day)) return std::nullopt;
  return static_cast<double>(DaysFromCivil(year, month, day) - DaysFromCivil(1899, 12, 30));
}

/// The lines of an old catalogue: CR LF, a lone CR and a lone LF each end a line; a final
/// line end starts no further line.
inline std::vector<std::string_view> SplitLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r' && bytes[i] != '\n') continue;
    lines.push_back(bytes.substr(start, i - start));
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < bytes.size()) lines.push_back(bytes.substr(start));
  return lines;
}

/// Stops the fuzz target with a readable reason when a property does not hold.
inline void Require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "Property violated: %s\n", property);
  std::abort();
}

template <typename Unsigned>
Unsigned LoadLittleEndian(const char* bytes) {
  Unsigned value = 0;
  for (std::size_t i = 0; i < sizeof(Unsigned); ++i) {
    value |= static_cast<Unsigned>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  }
  return value;
}

/// Checks the 62 bytes of `record` against the columns of the valid `line` it was taken from.
inline void CheckRecord(std::string_view record, std::string_view line) {
  Require(record.substr(0, 20) == ExpectedText(line, 1, 20),
          "record bytes 0-19 are columns 1-20, trimmed and padded");
  Require(record.substr(20, 30) == ExpectedText(line, 21, 30),
          "record bytes 20-49 are columns 21-50, trimmed and padded");
  if (const auto number = ExpectedSimpleNumber(Columns(line, 51, 5))) {
    Require(std::bit_cast<float>(LoadLittleEndian<std::uint32_t>(record.data() + 50)) == *number,
            "record bytes 50-53 hold the number of columns 51-55");
  }
  Require(std::bit_cast<double>(LoadLittleEndian<std::uint64_t>(record.data() + 54)) ==
              ExpectedDate(Columns(line, 56, 10)),
          "record bytes 54-61 hold the date of columns 56-65");
}

}  // namespace tessaril::fuzz
