#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace tessaril {

/// Reads a date by the German rules, whatever the process locale, as whole days since
/// 30.12.1899. Leading and trailing spaces are ignored. Accepted: day.month.year with one- or
/// two-digit day and month and a four-digit year (100 to 9999) or a two-digit year (00-29 mean
/// 2000-2029, 30-99 mean 1930-1999), and ISO year-month-day with a four-digit year. Gives no
/// value for anything else, for a date the calendar lacks, and for empty or blank text.
std::optional<double> ReadDate(std::string_view text);

/// The form nearly every catalogue line uses, DD.MM.YYYY, as day, month and year, read without
/// the general reader's bookkeeping; none for any other text, which ReadDate reads in full.
/// Inline, as a function another file may call is otherwise called, not inlined, on every line.
inline std::optional<std::array<int, 3>> ReadFullGermanDate(std::string_view text) {
  if (text.size() != 10 || text[2] != '.' || text[5] != '.') return std::nullopt;
  const auto digit = [text](std::size_t i) { return static_cast<unsigned>(text[i] - '0'); };
  for (std::size_t i : {0u, 1u, 3u, 4u, 6u, 7u, 8u, 9u}) {
    if (digit(i) > 9) return std::nullopt;
  }
  return std::array{static_cast<int>(digit(0) * 10 + digit(1)),
                    static_cast<int>(digit(3) * 10 + digit(4)),
                    static_cast<int>(digit(6) * 1000 + digit(7) * 100 + digit(8) * 10 + digit(9))};
}

}  // namespace tessaril
