#include "catalog/date_field.h"

#include <chrono>

#include "catalog/text_field.h"

namespace tessaril {
namespace {

struct Digits {
  int value = 0;
  int count = 0;
};

// Reads a run of 1 to `max_digits` decimal digits; none when the run is empty or longer.
std::optional<Digits> ReadDigits(std::string_view& text, int max_digits) {
  Digits digits;
  for (; !text.empty() && text.front() >= '0' && text.front() <= '9'; text.remove_prefix(1)) {
    if (++digits.count > max_digits) return std::nullopt;
    digits.value = digits.value * 10 + (text.front() - '0');
  }
  if (digits.count == 0) return std::nullopt;
  return digits;
}

bool ReadSeparator(std::string_view& text, char separator) {
  if (text.empty() || text.front() != separator) return false;
  text.remove_prefix(1);
  return true;
}

struct DateParts {
  int year;
  int month;
  int day;
};

std::optional<DateParts> ReadGermanDate(std::string_view text) {
  const std::optional<Digits> day = ReadDigits(text, 2);
  if (!day || !ReadSeparator(text, '.')) return std::nullopt;
  const std::optional<Digits> month = ReadDigits(text, 2);
  if (!month || !ReadSeparator(text, '.')) return std::nullopt;
  std::optional<Digits> year = ReadDigits(text, 4);
  if (!year || !text.empty()) return std::nullopt;
  if (year->count == 2) {
    year->value += year->value < 30 ? 2000 : 1900;
  } else if (year->count != 4 || year->value < 100) {
    return std::nullopt;
  }
  return DateParts{year->value, month->value, day->value};
}

std::optional<DateParts> ReadIsoDate(std::string_view text) {
  const std::optional<Digits> year = ReadDigits(text, 4);
  if (!year || year->count != 4 || year->value < 100) return std::nullopt;
  if (!ReadSeparator(text, '-')) return std::nullopt;
  const std::optional<Digits> month = ReadDigits(text, 2);
  if (!month || !ReadSeparator(text, '-')) return std::nullopt;
  const std::optional<Digits> day = ReadDigits(text, 2);
  if (!day || !text.empty()) return std::nullopt;
  return DateParts{year->value, month->value, day->value};
}

// The form nearly every catalogue line uses, DD.MM.YYYY, read without the general parser's
// bookkeeping.
std::optional<DateParts> ReadFullGermanDate(std::string_view text) {
  if (text.size() != 10 || text[2] != '.' || text[5] != '.') return std::nullopt;
  const auto digit = [text](std::size_t i) { return static_cast<unsigned>(text[i] - '0'); };
  for (std::size_t i : {0u, 1u, 3u, 4u, 6u, 7u, 8u, 9u}) {
    if (digit(i) > 9) return std::nullopt;
  }
  const unsigned year = digit(6) * 1000 + digit(7) * 100 + digit(8) * 10 + digit(9);
  if (year < 100) return std::nullopt;
  return DateParts{static_cast<int>(year), static_cast<int>(digit(3) * 10 + digit(4)),
                   static_cast<int>(digit(0) * 10 + digit(1))};
}

}  // namespace

std::optional<double> ReadDate(std::string_view text) {
  // The usual field holds the date alone, with nothing to trim.
  std::optional<DateParts> parts = ReadFullGermanDate(text);
  if (!parts) {
    text = TrimSpaces(text);
    parts = ReadGermanDate(text);
    if (!parts) parts = ReadIsoDate(text);
    if (!parts) return std::nullopt;
  }

  using namespace std::chrono;
  const year_month_day date{year{parts->year}, month{static_cast<unsigned>(parts->month)},
                            day{static_cast<unsigned>(parts->day)}};
  if (!date.ok()) return std::nullopt;
  constexpr sys_days kEpoch = 1899y / December / 30d;
  return static_cast<double>((sys_days{date} - kEpoch).count());
}

}  // namespace tessaril
