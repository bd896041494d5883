#pragma once

#include <string>
#include <string_view>

namespace tessaril {

/// Decodes Windows-1252 bytes, the code page of both catalogue files, into UTF-8 for display.
/// The five bytes the code page leaves undefined become the control characters of the same
/// number, as Windows decodes them.
std::string Cp1252ToUtf8(std::string_view bytes);

}  // namespace tessaril
