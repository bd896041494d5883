#pragma once

#include <string_view>

namespace tessaril {

/// `text` without leading and trailing spaces; other blanks such as tabs stay.
std::string_view TrimSpaces(std::string_view text);

}  // namespace tessaril
