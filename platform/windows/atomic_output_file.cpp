#include "platform/atomic_output_file.h"

#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/native_replacement.h"
#include "platform/temporary_name.h"
#include "platform/windows/busy_retry.h"
#include "platform/windows/file_names.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/windows_failure.h"

namespace tessaril {
namespace {

namespace fs = std::filesystem;

// What the replacement takes over from the destination it replaces.
struct Destination {
  bool exists = false;
  // Who may open it, as the system keeps it (self-relative), or none for a new file, which
  // gets its folder's inherited rules like any other, or where the file system keeps no rules.
  std::unique_ptr<void, decltype(&::LocalFree)> security{nullptr, &::LocalFree};
  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
};

// Whether the destination `target` may be replaced: a file on a disk, neither a folder nor
// read-only, nor a device such as NUL or CON. A missing destination may be created. All this
// is asked before any record is written, as the records only meet the destination's name when
// they are complete.
Status CheckDestination(const std::wstring& target, const std::string& path,
                        Destination& destination) {
  destination = {};
  if (NamesDevice(target)) return PathFailure(FailureCode::kPathFileAccess, path, kNoRegularFile);
  // Only the attributes and access rules are asked for, so a folder opens too and a device is
  // not set to work.
  const HANDLE probe = ::CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES | READ_CONTROL,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return {};
    return FailureFromWindowsError(error, path);
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool on_disk =
      ::GetFileType(probe) == FILE_TYPE_DISK && ::GetFileInformationByHandle(probe, &info);
  const DWORD attributes = info.dwFileAttributes;
  const std::string_view cause = !on_disk                                       ? kNoRegularFile
                                 : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? kIsFolder
                                 : (attributes & FILE_ATTRIBUTE_READONLY) != 0  ? kIsReadOnly
                                                                                : "";
  PSECURITY_DESCRIPTOR security = nullptr;
  if (cause.empty() && ::GetSecurityInfo(probe, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                         nullptr, nullptr, nullptr, &security) == ERROR_SUCCESS) {
    destination.security.reset(security);
  }
  ::CloseHandle(probe);
  if (!cause.empty()) return PathFailure(FailureCode::kPathFileAccess, path, cause);
  destination.exists = true;
  constexpr DWORD kCarried = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                             FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_ENCRYPTED;
  if ((attributes & kCarried) != 0) destination.attributes = attributes & kCarried;
  return {};
}

// Whether the system is to delete `file` when its last handle closes, which it does when the
// process is killed too.
bool SetDeletedOnClose(HANDLE file, bool deleted) {
  FILE_DISPOSITION_INFO disposition{deleted};
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

// Named from the start but deleted on close until it is complete, created with the destination's
// access rules and attributes, and put in its place by ReplaceFileW, which carries over the rest
// of what the destination has and lets it go.
class WindowsReplacement final : public NativeReplacement {
 public:
  explicit WindowsReplacement(const std::string& path) : path_(path) {}
  ~WindowsReplacement() override;

  Status FindDestination() override;
  Status CreateReplacement() override;
  Status Write(std::string_view bytes) override;
  Status Flush() override;
  Status Name() override;
  Status Rename() override;

 private:
  const std::string path_;  // As the user gave it, for the notices.
  std::wstring target_;
  Destination destination_;
  std::wstring temporary_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
  bool deleted_on_close_ = false;
};

WindowsReplacement::~WindowsReplacement() {
  if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
  if (!temporary_.empty()) RetryWhileBusy([&] { return ::DeleteFileW(temporary_.c_str()); });
}

Status WindowsReplacement::FindDestination() {
  if (Status status = FileCallPath(path_, target_); !status.ok()) return status;
  if (Status status = CheckDestination(target_, path_, destination_); !status.ok()) return status;
  return CheckNamesFile(target_, path_);
}

Status WindowsReplacement::CreateReplacement() {
  // Beside the destination, so that the replacement stays on one volume; with the destination's
  // access rules from the start, so that nobody the destination keeps out can read the records.
  const fs::path folder = fs::path(target_).parent_path();
  SECURITY_ATTRIBUTES security{sizeof security, destination_.security.get(), FALSE};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = TemporaryName();
    temporary_ = LongPathForm((folder / std::wstring(name.begin(), name.end())).native());
    file_ = ::CreateFileW(temporary_.c_str(), GENERIC_WRITE | DELETE, 0, &security, CREATE_NEW,
                          destination_.attributes, nullptr);
    if (file_ != INVALID_HANDLE_VALUE) {
      // Where the file system cannot, the destructor deletes it, unless the process is killed.
      deleted_on_close_ = SetDeletedOnClose(file_, true);
      return {};
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      temporary_.clear();
      return FailureFromWindowsError(error, path_);
    }
  }
  temporary_.clear();
  return FailureFromWindowsError(ERROR_FILE_EXISTS, path_);
}

Status WindowsReplacement::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1U << 30));
    DWORD written = 0;
    if (!::WriteFile(file_, bytes.data(), chunk, &written, nullptr)) {
      return LastWindowsFailure(path_);
    }
    bytes.remove_prefix(written);
  }
  return {};
}

Status WindowsReplacement::Flush() {
  if (!::FlushFileBuffers(file_)) return LastWindowsFailure(path_);
  return {};
}

// Kept once complete, and closed, as ReplaceFileW takes no open file.
Status WindowsReplacement::Name() {
  if (deleted_on_close_ && !SetDeletedOnClose(file_, false)) return LastWindowsFailure(path_);
  if (!::CloseHandle(std::exchange(file_, INVALID_HANDLE_VALUE))) {
    return LastWindowsFailure(path_);
  }
  return {};
}

Status WindowsReplacement::Rename() {
  // ReplaceFileW keeps the rest of what the destination has (its streams, creation time, short
  // name); where that cannot be carried over (a share without it), the new records matter more.
  bool destination_removed = false;
  const bool replaced = RetryWhileBusy([&] {
    if (destination_.exists && !destination_removed) {
      if (::ReplaceFileW(target_.c_str(), temporary_.c_str(), nullptr,
                         REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                         nullptr)) {
        return true;
      }
      // Without a backup name this error means the destination is gone already: the records in
      // the new file are all there is, and what is left is to give it the destination's name.
      destination_removed = ::GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
      return false;
    }
    return ::MoveFileExW(temporary_.c_str(), target_.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  });
  if (!replaced && destination_removed) {
    // Kept, and named in the notice, as the only copy left of the catalogue.
    const Failure failure = LastWindowsFailure(Utf8FromWide(temporary_));
    temporary_.clear();
    return failure;
  }
  if (!replaced) return LastWindowsFailure(path_);
  temporary_.clear();
  return {};
}

}  // namespace

// Windows has no signal for the file size limit; a write beyond a limit just fails.
void IgnoreFileSizeSignal() {}

std::unique_ptr<NativeReplacement> NewNativeReplacement(const std::string& path) {
  return std::make_unique<WindowsReplacement>(path);
}

}  // namespace tessaril
