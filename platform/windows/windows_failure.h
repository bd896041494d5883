#pragma once

#include <windows.h>

#include <string_view>

#include "platform/failure.h"

namespace tessaril {

/// Maps a Windows error code (`GetLastError`) of opening, reading, writing or replacing `path`
/// to its failure, with the same German descriptions as on other systems.
Failure FailureFromWindowsError(DWORD error, std::string_view path);

/// The failure of the last Windows call that failed on `path`.
Failure LastWindowsFailure(std::string_view path);

}  // namespace tessaril
