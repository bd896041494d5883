// Windows's calls for replacing a file: the new file is named from the start but deleted on
// close until it is complete, created with the destination's access rules and attributes, and
// put in its place by ReplaceFileW, which carries over the rest of what the destination has and
// lets it go.
#include "platform/atomic_output_file.h"

#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include "platform/file_kinds.h"
#include "platform/temporary_name.h"
#include "platform/windows/busy_retry.h"
#include "platform/windows/file_names.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/windows_failure.h"

namespace tessaril {

// Windows has no signal for the file size limit; a write beyond a limit just fails.
void IgnoreFileSizeSignal() {}

namespace native {
namespace {

HANDLE Win(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

// Whether the system is to delete `file` when its last handle closes, which it does when the
// process is killed too.
bool SetDeletedOnClose(Handle file, bool deleted) {
  FILE_DISPOSITION_INFO disposition{deleted};
  return ::SetFileInformationByHandle(Win(file), FileDispositionInfo, &disposition,
                                      sizeof disposition);
}

}  // namespace

// The destination is probed for its attributes only, so that a folder opens too and a device
// is not set to work.
Status FindDestination(Replacement& r) {
  Result<std::wstring> path = FileCallPath(r.path);
  if (!path.ok()) return std::move(path).status();
  const std::wstring& target = *path;
  r.place = target;
  r.folder_shown = Utf8FromWide(r.place.parent_path().native());
  if (NamesDevice(target)) {
    r.existing = FileFacts{.kind = FileFacts::Kind::kOther};
    return {};
  }
  const HANDLE probe = ::CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    if (::GetLastError() == ERROR_FILE_NOT_FOUND) return CheckNamesFile(target, r.path);
    return LastWindowsFailure(r.path);
  }
  Result<FileFacts> facts = FactsOf(reinterpret_cast<Handle>(probe), r.path);
  ::CloseHandle(probe);
  if (!facts.ok()) return std::move(facts).status();
  r.existing = *facts;
  return CheckNamesFile(target, r.path);
}

// Beside the destination, so that the replacement stays on one volume; with the destination's
// access rules from the start, so that nobody the destination keeps out can read the records,
// or its folder's inherited rules for a new file, as any other gets them.
Status CreateReplacement(Replacement& r) {
  std::unique_ptr<void, decltype(&::LocalFree)> security{nullptr, &::LocalFree};
  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
  if (r.existing) {
    PSECURITY_DESCRIPTOR rules = nullptr;
    if (::GetNamedSecurityInfoW(r.place.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, nullptr, nullptr, &rules) == ERROR_SUCCESS) {
      security.reset(rules);
    }
    constexpr DWORD kCarried = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                               FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_ENCRYPTED;
    const DWORD existing = ::GetFileAttributesW(r.place.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & kCarried) != 0) {
      attributes = existing & kCarried;
    }
  }
  SECURITY_ATTRIBUTES access{sizeof access, security.get(), FALSE};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = TemporaryName();
    const std::wstring temporary =
        LongPathForm((r.place.parent_path() / std::wstring(name.begin(), name.end())).native());
    const HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE, 0, &access,
                                      CREATE_NEW, attributes, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      r.file = reinterpret_cast<Handle>(file);
      r.temporary = temporary;
      // Where the file system cannot, Abandon deletes it, unless the process is killed.
      r.vanishes = SetDeletedOnClose(r.file, true);
      return {};
    }
    if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return LastWindowsFailure(r.path);
}

Status Write(Replacement& r, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1U << 30));
    DWORD written = 0;
    if (!::WriteFile(Win(r.file), bytes.data(), chunk, &written, nullptr)) {
      return LastWindowsFailure(r.path);
    }
    bytes.remove_prefix(written);
    r.written += written;
  }
  return {};
}

Status Flush(Replacement& r) {
  if (!::FlushFileBuffers(Win(r.file))) return LastWindowsFailure(r.path);
  return {};
}

// Kept once complete, and closed, as ReplaceFileW takes no open file. ReplaceFileW keeps the
// rest of what the destination has (its streams, creation time, short name); where that cannot
// be carried over (a share without it), the new records matter more.
Status PutInPlace(Replacement& r) {
  if (r.vanishes && !SetDeletedOnClose(r.file, false)) return LastWindowsFailure(r.path);
  r.vanishes = false;
  if (!::CloseHandle(Win(std::exchange(r.file, kNoHandle)))) return LastWindowsFailure(r.path);
  bool destination_removed = false;
  Status replaced = RetryWhileBusy(r.path, [&] {
    if (r.existing && !destination_removed) {
      if (::ReplaceFileW(r.place.c_str(), r.temporary.c_str(), nullptr,
                         REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                         nullptr)) {
        return true;
      }
      // Without a backup name this error means the destination is gone already: the records in
      // the new file are all there is, and what is left is to give it the destination's name.
      destination_removed = ::GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
      return false;
    }
    return ::MoveFileExW(r.temporary.c_str(), r.place.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  });
  if (replaced.ok() || destination_removed) {
    // Kept, and named in the notice, as the only copy left of the catalogue.
    if (!replaced.ok()) {
      Failure failure = std::move(replaced).failure();
      failure.quoted = Utf8FromWide(r.temporary.native());
      replaced = std::move(failure);
    }
    r.temporary.clear();
  }
  return replaced;
}

void Abandon(Replacement& r) {
  if (r.file != kNoHandle) ::CloseHandle(Win(std::exchange(r.file, kNoHandle)));
  if (r.temporary.empty()) return;
  [[maybe_unused]] Status removed =
      RetryWhileBusy(r.path, [&] { return ::DeleteFileW(r.temporary.c_str()); });
  r.temporary.clear();
}

}  // namespace native
}  // namespace tessaril
