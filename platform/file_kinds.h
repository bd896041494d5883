#pragma once

#include <string_view>

#include "platform/failure.h"
#include "platform/native_files.h"

namespace tessaril {

/// Code 75 for a file no catalogue can be: a folder, a device or another file that is no
/// regular one, or a file of /proc or /sys, saying which. None for a regular file.
Status CheckFileKind(const native::FileFacts& facts, std::string_view path);

/// Code 52 when `place`, where the destination is, names no file: it ends in a separator, "."
/// or "..". `path` is the path as the user gave it, for the notice.
Status CheckNamesFile(const std::filesystem::path& place, std::string_view path);

}  // namespace tessaril
