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
std::optional<std::array<int, 3>> ReadFullGermanDate(std::string_view text);

}  // namespace tessaril
