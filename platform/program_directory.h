#pragma once

#include <string>

namespace tessaril {

/// The folder that holds the running executable, with no trailing separator unless it is the
/// root. Gives an empty text when the system cannot tell.
std::string ProgramDirectory();

/// `directory` ending in a `separator`, ready for a file name to follow; a root such as "/" or
/// "D:\" already ends in one and is kept as it is, and an empty text stays empty.
std::string WithTrailingSeparator(std::string directory, char separator);

}  // namespace tessaril
