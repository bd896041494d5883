#pragma once

// Real files for the fuzz targets, in a private folder that lives as long as the process.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/catalog_oracle.h"

namespace tessaril::fuzz {

namespace fs = std::filesystem;

// One folder per process, made once: a tmpfs where there is one, since every successful run
// flushes the new file to disk.
inline const fs::path& Folder() {
  static const fs::path folder = [] {
    const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : nullptr;
    std::string pattern =
        ((base ? fs::path(base) : fs::temp_directory_path()) / "tessaril-fuzz-XXXXXX").string();
    Require(::mkdtemp(pattern.data()) != nullptr, "a private folder can be made");
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(Folder(), ignored);
    });
    return fs::path(pattern);
  }();
  return folder;
}

inline std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& item : fs::directory_iterator(folder)) {
    names.push_back(item.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

inline void WriteFile(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  Require(fd >= 0, "the source can be written");
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    Require(written > 0, "the source can be written");
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  ::close(fd);
}

inline std::string ReadFile(const std::string& path) {
  std::string bytes;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  Require(fd >= 0, "the destination can be read");
  char buffer[65536];
  for (ssize_t count; (count = ::read(fd, buffer, sizeof buffer)) > 0;) {
    bytes.append(buffer, static_cast<std::size_t>(count));
  }
  ::close(fd);
  return bytes;
}

}  // namespace tessaril::fuzz
