#pragma once

#include <string_view>

#include "platform/failure.h"

namespace tessaril {

/// The failure an errno value of any file call on `path` means, with the cause where errno
/// tells it (a folder, a read-only disk, a missing folder, a full disk, ...).
Failure ErrnoFailure(int error_number, std::string_view path);

}  // namespace tessaril
