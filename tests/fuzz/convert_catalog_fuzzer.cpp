// Converts the input as a whole old catalogue file, through the real files of a private folder,
// and checks the one notice and what is left on disk against the documented layout.

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/convert_catalog.h"
#include "catalog/record_writer.h"
#include "platform/notice_service.h"
#include "tests/fuzz/catalog_oracle.h"
#include "tests/fuzz/fuzz_files.h"

namespace {

using tessaril::fuzz::Columns;
using tessaril::fuzz::Folder;
using tessaril::fuzz::Names;
using tessaril::fuzz::ReadFile;
using tessaril::fuzz::Require;
using tessaril::fuzz::WriteFile;

constexpr std::string_view kSuccess = "Konvertieren erfolgreich abgeschlossen";
constexpr std::string_view kFailureIntro = "Fehler beim konvertieren: [";
constexpr int kTableCodes[] = {7, 13, 52, 53, 57, 61, 70, 75, 76};

class CountingNotices : public tessaril::NoticeService {
 public:
  void ShowNotice(const std::string& text, tessaril::NoticeIcon icon) override {
    ++count;
    last_text = text;
    last_icon = icon;
  }
  int count = 0;
  std::string last_text;
  tessaril::NoticeIcon last_icon{};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string source = (Folder() / "velmora.kat").string();
  const std::string dest = (Folder() / "velmora-neu.kat").string();
  WriteFile(source, input);

  CountingNotices notices;
  tessaril::ConvertCatalog(source, dest, notices);
  Require(notices.count == 1, "exactly one notice");

  const std::vector<std::string_view> lines = tessaril::fuzz::SplitLines(input);
  const auto bad_line = std::find_if(lines.begin(), lines.end(), [](std::string_view line) {
    return !tessaril::fuzz::ExpectedDate(Columns(line, 56, 10));
  });

  if (notices.last_text == kSuccess) {
    Require(notices.last_icon == tessaril::NoticeIcon::kInformation, "success has its icon");
    Require(bad_line == lines.end(), "a line without a date fails the run");
    Require(Names(Folder()) == std::vector<std::string>{"velmora-neu.kat", "velmora.kat"},
            "success leaves the source and the destination only");
    const std::string records = ReadFile(dest);
    Require(records.size() == lines.size() * tessaril::kRecordSize, "62 bytes per line");
    for (std::size_t i = 0; i < lines.size(); ++i) {
      tessaril::fuzz::CheckRecord(
          std::string_view(records).substr(i * tessaril::kRecordSize, tessaril::kRecordSize),
          lines[i]);
    }
    ::unlink(dest.c_str());
    return 0;
  }

  Require(notices.last_icon == tessaril::NoticeIcon::kCritical, "failure has its icon");
  Require(notices.last_text.starts_with(kFailureIntro), "failure notice text");
  const int code = std::atoi(notices.last_text.c_str() + kFailureIntro.size());
  Require(std::find(std::begin(kTableCodes), std::end(kTableCodes), code) != std::end(kTableCodes),
          "the failure code is one of the table");
  Require(code == 13, "a readable source fails only on a date");
  Require(bad_line != lines.end(), "a run fails only when a line has no date");
  const std::string line_mark = "Zeile " + std::to_string(bad_line - lines.begin() + 1) + ":";
  Require(notices.last_text.find(line_mark) != std::string::npos,
          "the failure names the first line without a date");
  Require(Names(Folder()) == std::vector<std::string>{"velmora.kat"},
          "a failed run leaves no destination and no temporary file");
  return 0;
}
