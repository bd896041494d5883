#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessaril {

/// Takes the character that `text` begins with off it. None, with `text` as it was, when
/// `text` begins with no well-formed UTF-8 sequence: a stray or missing continuation byte, an
/// overlong form, a surrogate or a value beyond U+10FFFF.
std::optional<char32_t> TakeUtf8(std::string_view& text);

/// `text` with each byte that begins no well-formed sequence replaced by U+FFFD, so that a file
/// name of any bytes can be shown.
std::string ValidUtf8(std::string_view text);

}  // namespace tessaril
