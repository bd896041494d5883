#include "platform/atomic_output_file.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <utility>

#include "platform/temporary_name.h"
#include "platform/windows/busy_retry.h"
#include "platform/windows/file_names.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/windows_failure.h"

namespace tessaril {
namespace {

namespace fs = std::filesystem;

// Whether the destination `target` may be replaced: a file on a disk, neither a folder nor
// read-only, nor a device such as NUL or CON. A missing destination may be created. All this
// is asked before any record is written, as the records only meet the destination's name when
// they are complete.
std::optional<Failure> CheckDestination(const std::wstring& target, const std::string& path,
                                        bool& exists) {
  exists = false;
  if (NamesDevice(target)) return PathFailure(FailureCode::kPathFileAccess, path, kNoRegularFile);
  if (HasOverlongName(target)) return PathFailure(FailureCode::kBadFileName, path, kTooLong);
  // Only the attributes are asked for, so a folder opens too and a device is not set to work.
  const HANDLE probe = ::CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return std::nullopt;
    return FailureFromWindowsError(error, path);
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool on_disk =
      ::GetFileType(probe) == FILE_TYPE_DISK && ::GetFileInformationByHandle(probe, &info);
  ::CloseHandle(probe);
  const DWORD attributes = info.dwFileAttributes;
  const std::string_view cause = !on_disk                                       ? kNoRegularFile
                                 : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? kIsFolder
                                 : (attributes & FILE_ATTRIBUTE_READONLY) != 0  ? kIsReadOnly
                                                                                : "";
  if (!cause.empty()) return PathFailure(FailureCode::kPathFileAccess, path, cause);
  exists = true;
  return std::nullopt;
}

}  // namespace

// Windows has no signal for the file size limit; a write beyond a limit just fails.
void IgnoreFileSizeSignal() {}

struct AtomicOutputFile::State {
  std::optional<Failure> Open(const std::string& path);
  std::optional<Failure> CreateTemporary();
  std::optional<Failure> Write(std::string_view bytes);
  std::optional<Failure> Commit();
  void Discard();

  std::string path_;  // As the user gave it, for the notices.
  std::wstring target_;
  bool target_exists_ = false;
  std::wstring temporary_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
};

AtomicOutputFile::AtomicOutputFile() : state_(std::make_unique<State>()) {}

AtomicOutputFile::~AtomicOutputFile() { state_->Discard(); }

std::optional<Failure> AtomicOutputFile::Open(const std::string& path) {
  return state_->Open(path);
}

std::optional<Failure> AtomicOutputFile::Write(std::string_view bytes) {
  return state_->Write(bytes);
}

std::optional<Failure> AtomicOutputFile::Commit() { return state_->Commit(); }

void AtomicOutputFile::State::Discard() {
  if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
  if (!temporary_.empty()) RetryWhileBusy([&] { return ::DeleteFileW(temporary_.c_str()); });
  temporary_.clear();
}

std::optional<Failure> AtomicOutputFile::State::Open(const std::string& path) {
  Discard();
  path_ = path;
  if (auto failure = UnusablePathFailure(path)) return failure;
  const std::optional<std::wstring> wide = WideFromUtf8(path);
  if (!wide) return PathFailure(FailureCode::kBadFileName, path);
  target_ = *wide;
  if (auto failure = CheckDestination(target_, path_, target_exists_)) return failure;
  const fs::path target(target_);
  if (!target.has_filename() || target.filename() == L"." || target.filename() == L"..") {
    return PathFailure(FailureCode::kBadFileName, path_, kNoFileName);
  }
  return CreateTemporary();
}

std::optional<Failure> AtomicOutputFile::State::CreateTemporary() {
  // Beside the destination, so that the replacement stays on one volume.
  const fs::path folder = fs::path(target_).parent_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = TemporaryName(::GetCurrentProcessId());
    temporary_ = (folder / std::wstring(name.begin(), name.end())).native();
    file_ = ::CreateFileW(temporary_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ != INVALID_HANDLE_VALUE) return std::nullopt;
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      temporary_.clear();
      return FailureFromWindowsError(error, path_);
    }
  }
  temporary_.clear();
  return FailureFromWindowsError(ERROR_FILE_EXISTS, path_);
}

std::optional<Failure> AtomicOutputFile::State::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1U << 30));
    DWORD written = 0;
    if (!::WriteFile(file_, bytes.data(), chunk, &written, nullptr)) {
      return LastWindowsFailure(path_);
    }
    bytes.remove_prefix(written);
  }
  return std::nullopt;
}

std::optional<Failure> AtomicOutputFile::State::Commit() {
  if (!::FlushFileBuffers(file_)) return LastWindowsFailure(path_);
  if (!::CloseHandle(std::exchange(file_, INVALID_HANDLE_VALUE))) {
    return LastWindowsFailure(path_);
  }
  // ReplaceFileW keeps the destination's attributes and access rules; where they cannot be
  // carried over (a share without them), the new records matter more.
  const bool replaced = RetryWhileBusy([&] {
    if (target_exists_) {
      return ::ReplaceFileW(target_.c_str(), temporary_.c_str(), nullptr,
                            REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS,
                            nullptr, nullptr) != 0;
    }
    return ::MoveFileExW(temporary_.c_str(), target_.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  });
  if (!replaced) return LastWindowsFailure(path_);
  temporary_.clear();
  return std::nullopt;
}

}  // namespace tessaril
