#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace tessaril::testing {

/// An old catalogue line from its four fields, each padded with spaces to its column width
/// (20, 30, 5, 10), so that the date ends in column 65.
inline std::string CatalogLine(std::string_view text20, std::string_view text30,
                               std::string_view number, std::string_view date) {
  const auto padded = [](std::string_view field, std::size_t width) {
    std::string text(field);
    text.resize(std::max(width, text.size()), ' ');
    return text;
  };
  return padded(text20, 20) + padded(text30, 30) + padded(number, 5) + padded(date, 10);
}

/// Line `i` of an invented catalogue whose every line is valid; the Text30 holds "ö" and "ß" as
/// Windows-1252 bytes.
inline std::string ValidLine(int i) {
  return CatalogLine("Artikel " + std::to_string(i),
                     "Gr\xF6\xDF"
                     "e " +
                         std::to_string(i % 50),
                     std::to_string(i % 100) + ",5", "24.12.2020");
}

/// An old catalogue of `count` valid lines, each ended by `line_end`.
inline std::string ValidCatalogue(int count, std::string_view line_end = "\r\n") {
  std::string text;
  for (int i = 1; i <= count; ++i) {
    text += ValidLine(i);
    text += line_end;
  }
  return text;
}

}  // namespace tessaril::testing
