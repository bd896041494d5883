// Windows's calls for reading a file, in binary so that each line end stays as it is in the
// file, and what it tells of one.
#include <windows.h>

#include <algorithm>

#include "platform/file_kinds.h"
#include "platform/native_files.h"
#include "platform/windows/busy_retry.h"
#include "platform/windows/file_names.h"
#include "platform/windows/windows_failure.h"

namespace tessaril::native {

Result<Handle> OpenForReading(const std::string& path) {
  Result<std::wstring> wide = FileCallPath(path);
  if (!wide.ok()) return std::move(wide).status();
  // NUL, CON or COM1 is no catalogue, and is not to be set to work by opening it.
  if (NamesDevice(*wide)) return CheckFileKind({.kind = FileFacts::Kind::kOther}, path);
  // A folder opens too, to be told from a file refused.
  HANDLE file = INVALID_HANDLE_VALUE;
  Status opened = RetryWhileBusy(path, [&] {
    file = ::CreateFileW(
        wide->c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    return file != INVALID_HANDLE_VALUE;
  });
  if (!opened.ok()) return opened;
  return reinterpret_cast<Handle>(file);
}

// Windows keeps no time of the last change of any kind: size and write time tell a rewrite.
Result<FileFacts> FactsOf(Handle file, const std::string& path) {
  const auto handle = reinterpret_cast<HANDLE>(file);
  BY_HANDLE_FILE_INFORMATION info{};
  // A pipe or a printer is no file on a disk.
  if (::GetFileType(handle) != FILE_TYPE_DISK) return FileFacts{.kind = FileFacts::Kind::kOther};
  if (!::GetFileInformationByHandle(handle, &info)) return LastWindowsFailure(path);
  const auto written = info.ftLastWriteTime;
  return FileFacts{
      .kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileFacts::Kind::kFolder
                                                                      : FileFacts::Kind::kFile,
      .read_only = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0,
      .size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow,
      .written = static_cast<std::int64_t>((std::uint64_t{written.dwHighDateTime} << 32) |
                                           written.dwLowDateTime),
  };
}

Result<std::size_t> Read(Handle file, std::span<char> buffer, const std::string& path) {
  const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1U << 30));
  DWORD count = 0;
  if (!::ReadFile(reinterpret_cast<HANDLE>(file), buffer.data(), wanted, &count, nullptr)) {
    return LastWindowsFailure(path);
  }
  return std::size_t{count};
}

void Close(Handle file) { ::CloseHandle(reinterpret_cast<HANDLE>(file)); }

bool IsFolder(const std::filesystem::path& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace tessaril::native
