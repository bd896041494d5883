#pragma once

#include <string>

namespace tessaril {

/// The folder that holds the running executable, with no trailing separator unless it is the
/// root. Gives an empty text when the system cannot tell.
std::string ProgramDirectory();

/// `directory` ending in a `separator`, ready for a file name to follow; a root such as "/" or
/// "D:\" already ends in one and is kept as it is, and an empty text stays empty.
std::string WithTrailingSeparator(std::string directory, char separator);

/// The folder for the user's own files: $HOME, else the system's user database; on Windows the
/// Documents folder. Empty when the system does not tell.
std::string HomeDirectory();

/// The folder for the default catalogues: `program_directory` when the user may create files in
/// it (a build tree, a program unpacked into a folder of one's own), else `home` (an installed
/// program). On Linux a folder below /usr or /opt, or one the user does not own, is a
/// system folder and gives `home`, to root too. A missing or unknown program folder gives `home`.
std::string CatalogueDirectory(const std::string& program_directory, const std::string& home);

}  // namespace tessaril
