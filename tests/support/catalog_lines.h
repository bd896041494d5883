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

}  // namespace tessaril::testing
