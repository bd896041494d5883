#include "platform/program_directory.h"

#include <windows.h>

#include <filesystem>

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

}  // namespace tessaril
