#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "catalog/convert_catalog.h"
#include "tests/faults/fault_support.h"
#include "tests/support/catalog_lines.h"
#include "tests/support/recording_notices.h"
#include "tests/support/temp_folder.h"

namespace tessaril {
namespace {

namespace fs = std::filesystem;
using testing::CountTemporaries;
using testing::FailureNotice;
using testing::ReadBytes;
using testing::RecordingNotices;
using testing::TempFolder;
using testing::ValidCatalogue;
using testing::WriteBytes;

constexpr std::string_view kSuccess = "Konvertieren erfolgreich abgeschlossen";

struct PathCase {
  const char* name;
  std::string source;  // Relative to the folder; made with its folders unless `missing`.
  std::string dest;
  int code = 0;               // 0 for success.
  bool source_named = false;  // Whether the failure names the source, else the destination.
  bool missing = false;
};

std::vector<std::string> AllNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& item : fs::recursive_directory_iterator(folder)) {
    names.push_back(item.path().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Paths, UmlautsSpacesAndLongPathsConvertOrFailClearly) {
  const std::string long_folders =
      std::string(100, 'a') + "/" + std::string(100, 'b') + "/" + std::string(100, 'c');
  const PathCase cases[] = {
      {"umlauts and spaces", "Kataloge für Jörg/velmora alt äöüß.kat",
       "Kataloge für Jörg/Neue Datei ÄÖÜ.kat"},
      {"names in the old code page's bytes", "velmora-\xE4.kat", "neu-\xF6\xDF.kat"},
      {"a path of more than 255 bytes", long_folders + "/velmora.kat", long_folders + "/neu.kat"},
      {"a destination name of 255 bytes", "velmora.kat", std::string(251, 'n') + ".kat"},
      {"a source name of 256 bytes", std::string(252, 'v') + ".kat", "neu.kat", 52, true, true},
      {"a destination name of 256 bytes", "velmora.kat", std::string(252, 'n') + ".kat", 52},
      {"a destination path beyond the system's limit", "velmora.kat",
       std::string(4100, 'x') + "/neu.kat", 52},
      {"a destination ending in a slash", "velmora.kat", "neu.kat/", 52},
      {"a file where a folder should be", "velmora.kat/more.kat", "neu.kat", 76, true, true},
  };
  TempFolder reference;
  WriteBytes(reference.File("velmora.kat"), ValidCatalogue(7));
  RecordingNotices reference_notices;
  ConvertCatalog(reference.File("velmora.kat"), reference.File("neu.kat"), reference_notices);
  const std::string expected_records = ReadBytes(reference.File("neu.kat"));

  for (const PathCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::string source = folder.File(c.source);
    const std::string dest = folder.File(c.dest);
    WriteBytes(folder.File("velmora.kat"), ValidCatalogue(7));
    if (!c.missing) {
      fs::create_directories(fs::path(source).parent_path());
      WriteBytes(source, ValidCatalogue(7));
    }
    const std::vector<std::string> names_before = AllNames(folder.path());

    RecordingNotices notices;
    ConvertCatalog(source, dest, notices);
    ASSERT_EQ(notices.notices().size(), 1u);
    const std::string& notice = notices.notices().front().text;
    if (c.code == 0) {
      EXPECT_EQ(notice, kSuccess);
      EXPECT_EQ(ReadBytes(dest), expected_records);
      EXPECT_EQ(CountTemporaries(fs::path(dest).parent_path()), 0);
      continue;
    }
    const std::string_view phrase =
        c.code == 52 ? "Dateiname oder -nummer falsch" : "Pfad nicht gefunden";
    EXPECT_EQ(notice, FailureNotice(c.code, phrase, c.source_named ? source : dest));
    EXPECT_EQ(AllNames(folder.path()), names_before);
  }
}

}  // namespace
}  // namespace tessaril
