#pragma once

#include <windows.h>

#include <string_view>

#include "platform/failure.h"
#include "platform/windows/windows_failure.h"

namespace tessaril {

/// Whether `error` may come from another program, a virus scanner or an indexer, that holds a
/// file for a moment after it appears or changes.
inline bool IsBusyError(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_ACCESS_DENIED || error == ERROR_UNABLE_TO_REMOVE_REPLACED ||
         error == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
}

/// Calls `attempt` (a Windows call giving true on success) again after short waits while it
/// fails with a busy error, for at most 1.55 s in all; the failure of the last attempt, on
/// `path`.
template <typename Attempt>
Status RetryWhileBusy(std::string_view path, Attempt attempt) {
  for (DWORD wait_ms = 50;; wait_ms *= 2) {
    if (attempt()) return {};
    const DWORD error = ::GetLastError();
    if (wait_ms > 800 || !IsBusyError(error)) return FailureFromWindowsError(error, path);
    ::Sleep(wait_ms);
  }
}

}  // namespace tessaril
