#include "platform/program_directory.h"

#include <pwd.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace tessaril {

std::string ProgramDirectory() {
  // Without /proc, the name the program was started by, which the kernel keeps for it; taken
  // early, while the folder it may be relative to is still the current one.
  std::error_code error;
  std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    const auto* started_as = reinterpret_cast<const char*>(::getauxval(AT_EXECFN));
    if (started_as == nullptr) return {};
    executable = std::filesystem::canonical(started_as, error);
    if (error) return {};
  }
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

namespace {

// Below /usr or /opt lie installed programs, whose folders are no place for a user's catalogues
// even where root may write there.
bool InSystemFolder(std::string_view folder) {
  for (const std::string_view system : {"/usr", "/opt"}) {
    if (folder.starts_with(system) &&
        (folder.size() == system.size() || folder[system.size()] == '/')) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::string CatalogueDirectory(const std::string& program_directory, const std::string& home) {
  if (program_directory.empty() || InSystemFolder(program_directory)) return home;
  // The real user, who runs the window, must own the folder (root may write into any) and be
  // able to write and search in it.
  struct stat info {};
  const bool own = ::stat(program_directory.c_str(), &info) == 0 && info.st_uid == ::getuid();
  return own && ::access(program_directory.c_str(), W_OK | X_OK) == 0 ? program_directory : home;
}

}  // namespace tessaril
