#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/notice_service.h"

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
  std::string File(std::string_view name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

void WriteBytes(const std::string& path, std::string_view bytes);
std::string ReadBytes(const std::filesystem::path& path);
/// The names in `folder`, sorted.
std::vector<std::string> FolderNames(const std::filesystem::path& folder);

/// An old catalogue line from its four fields, each padded with spaces to its column width
/// (20, 30, 5, 10), so that the date ends in column 65.
std::string CatalogLine(std::string_view text20, std::string_view text30, std::string_view number,
                        std::string_view date);

/// An old catalogue of `count` valid lines, each ended by `line_end`; line i names "Artikel i"
/// and holds "ö" and "ß" as Windows-1252 bytes.
std::string ValidCatalogue(int count, std::string_view line_end = "\r\n");

/// The record of the new catalogue for these fields, as the layout prescribes it.
std::string ExpectedRecord(std::string text20, std::string text30, float number, double date);

/// The records of `ValidCatalogue(count)`.
std::string ExpectedRecords(int count);

/// `text` with "<source>", "<dest>" and "<folder>" replaced by those paths.
std::string WithPaths(std::string text, const std::string& source, const std::string& dest,
                      const std::string& folder = "");

/// A notice service that keeps every notice instead of showing it.
struct RecordingNotices : NoticeService {
  struct Notice {
    std::string text;
    NoticeIcon icon;
  };
  void ShowNotice(std::string_view text, NoticeIcon icon) override {
    seen.push_back({std::string(text), icon});
  }
  std::vector<Notice> seen;
};

}  // namespace tessaril::testing
