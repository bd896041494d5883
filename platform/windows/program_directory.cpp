#include "platform/program_directory.h"

#include <windows.h>
// After windows.h, which they need.
#include <knownfolders.h>
#include <shlobj.h>

#include <filesystem>
#include <optional>

#include "platform/temporary_name.h"
#include "platform/windows/file_names.h"
#include "platform/windows/wide_text.h"

namespace tessaril {

std::string ProgramDirectory() {
  // The name may be longer than MAX_PATH; the call cuts it to the buffer without saying so,
  // other than by filling it.
  std::wstring executable(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(executable.size());
    const DWORD length = ::GetModuleFileNameW(nullptr, executable.data(), size);
    if (length == 0) return {};
    if (length < size) {
      executable.resize(length);
      break;
    }
    if (executable.size() >= 32768) return {};
    executable.resize(executable.size() * 2);
  }
  // The parent of "D:\tessaril.exe" is "D:\": a drive's root keeps its separator.
  return Utf8FromWide(std::filesystem::path(executable).parent_path().native());
}

// Documents, not the profile folder: that is where Windows users keep their files, and it may
// have been moved elsewhere (another drive, a synchronised folder).
std::string HomeDirectory() {
  wchar_t* documents = nullptr;
  std::string folder;
  if (::SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &documents) == S_OK) {
    folder = Utf8FromWide(documents);
  }
  ::CoTaskMemFree(documents);
  return folder;
}

std::string CatalogueDirectory(const std::string& program_directory, const std::string& home) {
  const std::optional<std::wstring> folder = WideFromUtf8(program_directory);
  if (program_directory.empty() || !folder) return home;
  // Access rules on Windows are too rich to judge from outside; a file that removes itself on
  // closing tells for certain.
  const std::string name = TemporaryName();
  const std::wstring probe = LongPathForm(
      (std::filesystem::path(*folder) / std::wstring(name.begin(), name.end())).native());
  const HANDLE file = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return home;
  ::CloseHandle(file);
  return program_directory;
}

}  // namespace tessaril
