#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tessaril::testing {

/// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  /// The path of `name` inside the folder, as text.
  std::string File(std::string_view name) const;

 private:
  std::filesystem::path path_;
};

void WriteBytes(const std::string& path, std::string_view bytes);
std::string ReadBytes(const std::string& path);
/// The names in `folder`, sorted.
std::vector<std::string> FolderNames(const std::filesystem::path& folder);

}  // namespace tessaril::testing
