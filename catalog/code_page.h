#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tessaril {

/// Decodes Windows-1252 bytes, the code page of both catalogue files, into UTF-8 for display.
/// The five bytes the code page leaves undefined become the control characters of the same
/// number, as Windows decodes them.
std::string Cp1252ToUtf8(std::string_view bytes);

/// Reads `line` as UTF-8 where it was saved so: when its first `columns.size()` characters, or
/// all of it if it is shorter, are well-formed UTF-8 and hold a character beyond ASCII. Then
/// stores those characters into `columns` as Windows-1252 bytes, "?" for a character the code
/// page lacks, and gives how many there are. None for any other line, which is Windows-1252.
std::optional<std::size_t> Utf8LineToCp1252(std::string_view line, std::span<char> columns);

}  // namespace tessaril
