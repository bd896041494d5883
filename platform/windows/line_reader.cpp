// The Windows part of LineReader: the file itself, read in binary, so that each line end stays
// as it is in the file.
#include "platform/line_reader.h"

#include <windows.h>

#include <algorithm>

#include "platform/windows/busy_retry.h"
#include "platform/windows/file_names.h"
#include "platform/windows/windows_failure.h"

namespace tessaril {
namespace {

HANDLE Handle(std::intptr_t file) { return reinterpret_cast<HANDLE>(file); }

}  // namespace

void LineReader::Close() {
  if (file_ != -1) ::CloseHandle(Handle(file_));
  file_ = -1;
}

Status LineReader::OpenFile() {
  std::wstring wide;
  if (Status status = FileCallPath(path_, wide); !status.ok()) return status;
  // Windows refuses to open a folder as "access denied"; say what it is instead.
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (NamesDevice(wide)) return PathFailure(FailureCode::kPathFileAccess, path_, kNoRegularFile);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return PathFailure(FailureCode::kPathFileAccess, path_, kIsFolder);
  }
  HANDLE file = INVALID_HANDLE_VALUE;
  const bool opened = RetryWhileBusy([&] {
    file = ::CreateFileW(wide.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return file != INVALID_HANDLE_VALUE;
  });
  if (!opened) return LastWindowsFailure(path_);
  file_ = reinterpret_cast<std::intptr_t>(file);
  // NUL, CON, a pipe or a printer is no catalogue.
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    Close();
    return PathFailure(FailureCode::kPathFileAccess, path_, kNoRegularFile);
  }
  return {};
}

bool LineReader::ReadIntoBuffer() {
  const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(buffer_size_, 1U << 30));
  DWORD count = 0;
  if (!::ReadFile(Handle(file_), buffer_.get(), wanted, &count, nullptr)) {
    failure_ = LastWindowsFailure(path_);
    Close();
    return false;
  }
  end_ = count;
  return true;
}

// Windows keeps no time of the last change of any kind: size and write time tell a rewrite.
bool LineReader::ReadStamp(Stamp& stamp) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(Handle(file_), &info)) {
    failure_ = LastWindowsFailure(path_);
    Close();
    return false;
  }
  const auto written = info.ftLastWriteTime;
  stamp = {(std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow,
           static_cast<std::int64_t>((std::uint64_t{written.dwHighDateTime} << 32) |
                                     written.dwLowDateTime),
           0};
  return true;
}

}  // namespace tessaril
