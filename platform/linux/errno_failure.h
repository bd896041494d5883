#pragma once

#include <sys/types.h>

#include <optional>
#include <string_view>

#include "platform/failure.h"

namespace tessaril {

/// Maps an errno value of opening, creating or renaming `path` to its failure, with the cause
/// where errno tells it (a folder, a read-only disk, a missing folder, ...).
Failure FailureFromErrno(int error_number, std::string_view path);

/// Maps an errno value of reading, writing or flushing the open file `path` to its failure:
/// a full disk or the file size limit, a lack of memory, or else a device error.
Failure IoFailureFromErrno(int error_number, std::string_view path);

/// Code 75 when `mode` (from stat) is no regular file, saying whether it is a folder; none for
/// a regular file.
Status CheckRegularFile(mode_t mode, std::string_view path);

/// Whether the open file or folder `fd` lies in /proc or /sys, whose files the kernel makes up
/// as they are read.
bool OnSystemFilesystem(int fd);

}  // namespace tessaril
