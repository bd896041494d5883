#include "platform/utf8.h"

#include <cstdint>

namespace tessaril {

std::optional<char32_t> TakeUtf8(std::string_view& text) {
  if (text.empty()) return std::nullopt;
  const auto lead = static_cast<std::uint8_t>(text[0]);
  if (lead < 0x80) {
    text.remove_prefix(1);
    return lead;
  }
  // The continuation bytes a lead byte announces, and the least value that needs them all.
  std::size_t length = 0;
  char32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, least = 0x10000;
  } else {
    return std::nullopt;  // A continuation byte, or a lead of an overlong or too large form.
  }
  if (text.size() < length) return std::nullopt;
  char32_t code_point = lead & (0x7Fu >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<std::uint8_t>(text[i]);
    if ((byte & 0xC0) != 0x80) return std::nullopt;
    code_point = code_point << 6 | (byte & 0x3Fu);
  }
  if (code_point < least || code_point > 0x10FFFF ||
      (code_point >= 0xD800 && code_point <= 0xDFFF)) {
    return std::nullopt;
  }
  text.remove_prefix(length);
  return code_point;
}

std::string ValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const std::string_view rest = text;
    if (TakeUtf8(text)) {
      out.append(rest.substr(0, rest.size() - text.size()));
    } else {
      out.append("\uFFFD");
      text.remove_prefix(1);
    }
  }
  return out;
}

}  // namespace tessaril
