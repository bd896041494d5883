#include "catalog/date_field.h"

#include <array>
#include <chrono>

#include "catalog/text_field.h"

namespace tessaril {

namespace {

// Day, month and year of the forms of a date, or none.
std::optional<std::array<int, 3>> ReadDateParts(std::string_view text) {
  if (std::optional<std::array<int, 3>> parts = ReadFullGermanDate(text)) return parts;
  // Three runs of up to four digits, joined by one kind of separator: "-" in the ISO form.
  text = TrimSpaces(text);
  const char separator = text.find('-') == std::string_view::npos ? '.' : '-';
  std::array<int, 3> value{}, digits{};
  std::size_t part = 0;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      if (++digits[part] > 4) return std::nullopt;
      value[part] = value[part] * 10 + (c - '0');
    } else if (c == separator && part < 2 && digits[part] > 0) {
      ++part;
    } else {
      return std::nullopt;
    }
  }
  if (part < 2 || digits[2] == 0) return std::nullopt;
  if (separator == '-') {
    // year-month-day.
    if (digits[0] != 4 || digits[1] > 2 || digits[2] > 2) return std::nullopt;
    return std::array{value[2], value[1], value[0]};
  }
  // day.month.year, a year of two digits between 1930 and 2029.
  if (digits[0] > 2 || digits[1] > 2 || (digits[2] != 2 && digits[2] != 4)) return std::nullopt;
  if (digits[2] == 2) value[2] += value[2] < 30 ? 2000 : 1900;
  return value;
}

}  // namespace

std::optional<double> ReadDate(std::string_view text) {
  const std::optional<std::array<int, 3>> parts = ReadDateParts(text);
  if (!parts || (*parts)[2] < 100) return std::nullopt;
  using namespace std::chrono;
  const year_month_day date{year{(*parts)[2]}, month{static_cast<unsigned>((*parts)[1])},
                            day{static_cast<unsigned>((*parts)[0])}};
  if (!date.ok()) return std::nullopt;
  constexpr sys_days kEpoch = 1899y / December / 30d;
  return static_cast<double>((sys_days{date} - kEpoch).count());
}

}  // namespace tessaril
