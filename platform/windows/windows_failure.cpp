#include "platform/windows/windows_failure.h"

#include <filesystem>

#include "platform/windows/file_names.h"

namespace tessaril {
namespace {

// ERROR_DISK_QUOTA_EXCEEDED, which mingw-w64's headers lack.
constexpr DWORD kErrorDiskQuotaExceeded = 1295;

// Every Windows error the program tells apart; any other is a device error.
constexpr ErrorMapping kErrorMappings[] = {
    {ERROR_FILE_NOT_FOUND, FailureCode::kFileNotFound},  // The folder exists, the file not.
    {ERROR_PATH_NOT_FOUND, FailureCode::kPathNotFound, kFolderMissing},
    {ERROR_INVALID_DRIVE, FailureCode::kPathNotFound, kFolderMissing},
    {ERROR_BAD_NETPATH, FailureCode::kPathNotFound, kFolderMissing},
    {ERROR_BAD_NET_NAME, FailureCode::kPathNotFound, kFolderMissing},
    {ERROR_DIRECTORY, FailureCode::kPathNotFound, kUnderFile},  // A file where a folder should be.
    {ERROR_INVALID_NAME, FailureCode::kBadFileName},            // "a<b", "a?b", "C:x:y".
    {ERROR_BAD_PATHNAME, FailureCode::kBadFileName},
    {ERROR_FILENAME_EXCED_RANGE, FailureCode::kBadFileName, kTooLong},
    {ERROR_NO_UNICODE_TRANSLATION, FailureCode::kBadFileName},
    {ERROR_ACCESS_DENIED, FailureCode::kPermissionDenied},
    {ERROR_SHARING_VIOLATION, FailureCode::kPathFileAccess, kInUse},
    {ERROR_LOCK_VIOLATION, FailureCode::kPathFileAccess, kInUse},
    {ERROR_WRITE_PROTECT, FailureCode::kPathFileAccess, kOnReadOnlyDisk},
    {ERROR_UNABLE_TO_REMOVE_REPLACED, FailureCode::kPathFileAccess},
    {ERROR_UNABLE_TO_MOVE_REPLACEMENT, FailureCode::kPathFileAccess},
    {ERROR_DISK_FULL, FailureCode::kDiskFull},
    {ERROR_HANDLE_DISK_FULL, FailureCode::kDiskFull},
    {kErrorDiskQuotaExceeded, FailureCode::kDiskFull},
    {ERROR_FILE_TOO_LARGE, FailureCode::kDiskFull, kSizeLimit},  // Such as 4 GiB on FAT.
    {ERROR_TOO_MANY_OPEN_FILES, FailureCode::kTooManyFiles, kTooManyOpen},
    {ERROR_NOT_ENOUGH_MEMORY, FailureCode::kOutOfMemory},
    {ERROR_OUTOFMEMORY, FailureCode::kOutOfMemory},
};

// Whether the nearest folder on `path` that is there is a file instead.
bool LiesUnderFile(std::string_view path) {
  Result<std::wstring> wide = FileCallPath(path);
  if (!wide.ok()) return false;
  for (std::filesystem::path part = std::filesystem::path(*wide).parent_path();
       part.has_relative_path(); part = part.parent_path()) {
    const DWORD attributes = ::GetFileAttributesW(part.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }
  return false;
}

}  // namespace

Failure FailureFromWindowsError(DWORD error, std::string_view path) {
  // Windows has no error of its own for a file where a folder should be.
  if (error == ERROR_PATH_NOT_FOUND && LiesUnderFile(path)) {
    return PathFailure(FailureCode::kPathNotFound, path, kUnderFile);
  }
  return MappedFailure(kErrorMappings, static_cast<long>(error), path);
}

Failure LastWindowsFailure(std::string_view path) {
  return FailureFromWindowsError(::GetLastError(), path);
}

}  // namespace tessaril
