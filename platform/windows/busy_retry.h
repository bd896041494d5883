#pragma once

#include <windows.h>

namespace tessaril {

/// Whether `error` may come from another program, a virus scanner or an indexer, that holds a
/// file for a moment after it appears or changes.
inline bool IsBusyError(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_ACCESS_DENIED || error == ERROR_UNABLE_TO_REMOVE_REPLACED ||
         error == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
}

/// Calls `attempt` (a Windows call giving true on success) again after short waits while it
/// fails with a busy error, for at most 1.55 s in all. A failure leaves its error for
/// `GetLastError`.
template <typename Attempt>
bool RetryWhileBusy(Attempt attempt) {
  for (DWORD wait_ms = 50;; wait_ms *= 2) {
    if (attempt()) return true;
    if (wait_ms > 800 || !IsBusyError(::GetLastError())) return false;
    const DWORD error = ::GetLastError();
    ::Sleep(wait_ms);
    ::SetLastError(error);
  }
}

}  // namespace tessaril
