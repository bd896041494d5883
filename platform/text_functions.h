#pragma once

#include <cstddef>
#include <string_view>

namespace tessaril {

/// Up to `length` characters of `text` from the 1-based column `start`; empty when `start`
/// lies beyond the end.
constexpr std::string_view Substring(std::string_view text, std::size_t start, std::size_t length) {
  if (start == 0 || start > text.size()) return {};
  return text.substr(start - 1, length);
}

/// `text` without leading and trailing spaces; other blanks such as tabs stay.
std::string_view TrimSpaces(std::string_view text);

}  // namespace tessaril
