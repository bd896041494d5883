#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <string>

#include "catalog/convert_catalog.h"
#include "tests/support/test_support.h"

namespace tessaril {
namespace {

namespace fs = std::filesystem;
using testing::ValidCatalogue;

constexpr int kFails = -1;
const std::string k13 = "[13] Typen unverträglich in Zeile ",
                  k52 = "[52] Dateiname oder -nummer falsch: ", k53 = "[53] Datei nicht gefunden: ",
                  k75 = "[75] Fehler beim Zugriff auf Pfad/Datei: ",
                  k76 = "[76] Pfad nicht gefunden: ";

struct Conversion {
  const char* name;
  std::string source_bytes;  // Written to "velmora.kat".
  std::string source, dest;  // In the folder unless absolute; empty stays empty.
  int records;               // The destination then holds the records of ValidCatalogue(records).
  std::string notice;        // After "Fehler beim konvertieren: ", with <source> and <dest>.
};

// Every case meets the same folder: an old destination with its own permissions, a folder,
// a FIFO, a read-only file, links to a file, to nothing and in a loop.
void MakeFolder(const fs::path& at, const std::string& source_bytes) {
  testing::WriteBytes((at / "velmora.kat").string(), source_bytes);
  for (const char* name : {"old.kat", "read-only.kat", "real/old.kat"}) {
    fs::create_directories((at / name).parent_path());
    testing::WriteBytes((at / name).string(), std::string(70'001, 'o'));
  }
  fs::permissions(at / "old.kat",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::permissions(at / "read-only.kat", fs::perms::owner_read);
  fs::create_directory(at / "Kataloge äö");
  ASSERT_EQ(::mkfifo((at / "fifo").c_str(), 0600), 0);
  fs::create_symlink("real/old.kat", at / "link.kat");
  fs::create_symlink(at / "link.kat", at / "chain.kat");
  fs::create_symlink("real/new.kat", at / "dangling.kat");
  fs::create_symlink("loop-b", at / "loop-a");
  fs::create_symlink("loop-a", at / "loop-b");
}

// Converts on real files and checks the notice, the destination's bytes, and that nothing else
// in the folder changed: a failure leaves everything as it was.
void Check(const Conversion& run) {
  SCOPED_TRACE(run.name);
  testing::TempFolder folder;
  const fs::path& at = folder.path();
  MakeFolder(at, run.source_bytes);
  const auto resolve = [&](const std::string& name) {
    return name.empty() || name.starts_with('/') ? name : (at / name).string();
  };
  const std::string source = resolve(run.source), dest = resolve(run.dest);
  std::error_code no_file;  // The destination may be no file at all, or a loop of links.
  const bool was_link = fs::is_symlink(dest, no_file), existed = fs::is_regular_file(dest, no_file);
  const std::string before = existed ? testing::ReadBytes(dest) : "";
  const fs::perms mode = fs::status(dest, no_file).permissions();
  auto names = testing::FolderNames(at), real_names = testing::FolderNames(at / "real");

  testing::RecordingNotices notices;
  ConvertCatalog(source, dest, notices);

  const bool failed = run.records == kFails;
  ASSERT_EQ(notices.seen.size(), 1u);
  EXPECT_EQ(notices.seen[0].text,
            failed ? "Fehler beim konvertieren: " + testing::WithPaths(run.notice, source, dest)
                   : "Konvertieren erfolgreich abgeschlossen");
  EXPECT_EQ(notices.seen[0].icon, failed ? NoticeIcon::kCritical : NoticeIcon::kInformation);
  EXPECT_EQ(fs::is_symlink(dest, no_file), was_link);
  if (failed) {
    EXPECT_EQ(fs::is_regular_file(dest, no_file), existed);
    EXPECT_EQ(existed ? testing::ReadBytes(dest) : "", before);
  } else {
    EXPECT_EQ(
        testing::FirstDifference(testing::ReadBytes(dest), testing::ExpectedRecords(run.records)),
        "");
    if (existed) {
      EXPECT_EQ(fs::status(dest).permissions(), mode);
    }
    if (!existed && !was_link && run.dest.find('/') == std::string::npos) names.push_back(run.dest);
    if (run.dest == "dangling.kat") real_names = {"new.kat", "old.kat"};
    std::sort(names.begin(), names.end());
  }
  EXPECT_EQ(testing::FolderNames(at), names) << "only the destination may change";
  EXPECT_EQ(testing::FolderNames(at / "real"), real_names);
}

TEST(Conversions, ConvertWholeOrLeaveEverythingAsItWas) {
  const std::string three = ValidCatalogue(3), ten_mixed = [] {
    std::string text;
    std::size_t i = 0;
    for (const std::string& line : testing::SplitLines(ValidCatalogue(10), 65)) {
      text += line + std::array{"\r", "\n", "\r\n"}[i++ % 3];
    }
    return text.substr(0, text.find_last_not_of("\r\n") + 1);  // The last line has no end.
  }();
  const std::string bad_line_5 =
      ValidCatalogue(4) + testing::CatalogLine("F", "", "1", "31.02.2020") + "\r\n" + three;
  const Conversion runs[] = {
      {"ten lines, CR LF", ValidCatalogue(10), "velmora.kat", "new.kat", 10, ""},
      {"CR", ValidCatalogue(10, "\r"), "velmora.kat", "new.kat", 10, ""},
      {"LF", ValidCatalogue(10, "\n"), "velmora.kat", "new.kat", 10, ""},
      {"mixed, last without end", ten_mixed, "velmora.kat", "new.kat", 10, ""},
      {"over a longer one, keeping its mode", three, "velmora.kat", "old.kat", 3, ""},
      {"over its own source", ValidCatalogue(100), "velmora.kat", "velmora.kat", 100, ""},
      {"empty source", "", "velmora.kat", "old.kat", 0, ""},
      {"more than 32767 lines", ValidCatalogue(40'000, "\n"), "velmora.kat", "new.kat", 40'000, ""},
      {"umlauts and spaces", three, "velmora.kat", "Kataloge äö/neu ß €.kat", 3, ""},
      {"link chain", three, "velmora.kat", "chain.kat", 3, ""},
      {"dangling link", three, "velmora.kat", "dangling.kat", 3, ""},
      {"missing source", three, "missing.kat", "new.kat", kFails, k53 + "„<source>“"},
      {"missing, old kept", three, "missing.kat", "old.kat", kFails, k53 + "„<source>“"},
      {"empty source path", three, "", "old.kat", kFails, k52 + "„“"},
      {"source folder missing", three, "none/a.kat", "new.kat", kFails, k76 + "„<source>“"},
      {"source under a file", three, "velmora.kat/a", "new.kat", kFails, k76 + "„<source>“"},
      {"source is a folder", three, "real", "new.kat", kFails, k75 + "„<source>“"},
      {"source is a FIFO", three, "fifo", "new.kat", kFails, k75 + "„<source>“"},
      {"source is a device", three, "/dev/null", "old.kat", kFails, k75 + "„<source>“"},
      {"source name too long", three, std::string(300, 'n'), "new.kat", kFails, k52 + "„<source>“"},
      {"bad date on line 5", bad_line_5, "velmora.kat", "new.kat", kFails,
       k13 + "5, Spalten 56 bis 65: „31.02.2020“"},
      {"bad date, old kept", bad_line_5, "velmora.kat", "old.kat", kFails,
       k13 + "5, Spalten 56 bis 65: „31.02.2020“"},
      {"blank line 4", three + "\r\n" + three, "velmora.kat", "new.kat", kFails,
       k13 + "4, Spalten 56 bis 65: „“"},
      {"bad date, destination folder gone", bad_line_5, "velmora.kat", "none/a.kat", kFails,
       k13 + "5, Spalten 56 bis 65: „31.02.2020“"},
      {"destination folder gone", three, "velmora.kat", "none/a.kat", kFails, k76 + "„<dest>“"},
      {"destination under a file", three, "velmora.kat", "velmora.kat/a", kFails, k76 + "„<dest>“"},
      {"destination is a folder", three, "velmora.kat", "real", kFails, k75 + "„<dest>“"},
      {"read-only, even for root", three, "velmora.kat", "read-only.kat", kFails, k75 + "„<dest>“"},
      {"destination is a device", three, "velmora.kat", "/dev/null", kFails, k75 + "„<dest>“"},
      {"destination is a FIFO", three, "velmora.kat", "fifo", kFails, k75 + "„<dest>“"},
      {"link loop", three, "velmora.kat", "loop-a", kFails, k75 + "„<dest>“"},
      {"destination name too long", three, "velmora.kat", std::string(300, 'n'), kFails,
       k52 + "„<dest>“"},
      {"NUL in the source path", three, std::string("velmora.kat\0x", 13), "new.kat", kFails,
       k52 + "„<source>“"},
      {"NUL in the destination path", three, "velmora.kat", std::string("new.kat\0x", 9), kFails,
       k52 + "„<dest>“"},
      {"empty destination path", three, "velmora.kat", "", kFails, k52 + "„“"},
  };
  for (const Conversion& run : runs) Check(run);
}

}  // namespace
}  // namespace tessaril
