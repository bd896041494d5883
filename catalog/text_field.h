#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace tessaril {

/// `text` without leading and trailing spaces; other blanks such as tabs stay.
inline std::string_view TrimSpaces(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') + 1 - first);
}

/// Stores `text`, at most the field's width, into a fixed-width text field without its leading
/// and trailing spaces, padded with spaces.
template <std::size_t kWidth>
void StoreText(std::array<char, kWidth>& field, std::string_view text) {
  // Trailing spaces are the padding anyway: only the leading ones go. Nearly every field starts
  // with its text, and is then copied whole, in one move of a known size.
  if (text.size() == kWidth && text.front() != ' ') {
    std::memcpy(field.data(), text.data(), kWidth);
    return;
  }
  text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
  std::fill(std::copy(text.begin(), text.end(), field.begin()), field.end(), ' ');
}

}  // namespace tessaril
