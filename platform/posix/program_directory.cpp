#include "platform/program_directory.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tessaril {

std::string ProgramDirectory() {
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return executable.parent_path().string();
}

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  // A session started without a login, e.g. from a service, may lack $HOME.
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return {};
}

std::string CatalogueDirectory(const std::string& program_directory, const std::string& home) {
  // access() asks for the real user, who runs the window, and needs both write and search.
  const bool writable =
      !program_directory.empty() && ::access(program_directory.c_str(), W_OK | X_OK) == 0;
  return writable ? program_directory : home;
}

}  // namespace tessaril
