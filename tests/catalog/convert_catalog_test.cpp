#include "catalog/convert_catalog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "catalog/record_writer.h"
#include "tests/support/catalog_lines.h"
#include "tests/support/recording_notices.h"
#include "tests/support/temp_folder.h"

namespace tessaril {
namespace {

namespace fs = std::filesystem;
using testing::CatalogLine;
using testing::FolderNames;
using testing::ReadBytes;
using testing::RecordingNotices;
using testing::TempFolder;
using testing::ValidCatalogue;
using testing::ValidLine;
using testing::WriteBytes;

constexpr std::string_view kSuccess = "Konvertieren erfolgreich abgeschlossen";

RecordingNotices::Notice Convert(const std::string& source, const std::string& dest) {
  RecordingNotices notices;
  ConvertCatalog(source, dest, notices);
  EXPECT_EQ(notices.notices().size(), 1u);
  return notices.notices().empty() ? RecordingNotices::Notice{} : notices.notices().front();
}

void ExpectSuccess(const RecordingNotices::Notice& notice) {
  EXPECT_EQ(notice.text, kSuccess);
  EXPECT_EQ(notice.icon, NoticeIcon::kInformation);
}

TEST(ConvertCatalog, TenLinesGive620BytesInLineOrder) {
  TempFolder folder;
  WriteBytes(folder.File("velmora.kat"), ValidCatalogue(10));
  ExpectSuccess(Convert(folder.File("velmora.kat"), folder.File("velmora-neu.kat")));
  const std::string records = ReadBytes(folder.File("velmora-neu.kat"));
  ASSERT_EQ(records.size(), 620u);
  EXPECT_EQ(records.substr(0, 20), "Artikel 1           ");
  EXPECT_EQ(records.substr(9 * kRecordSize, 20), "Artikel 10          ");
  EXPECT_EQ(records.substr(9 * kRecordSize + 20, 30),
            "Gr\xF6\xDF"
            "e 10" +
                std::string(22, ' '));
}

TEST(ConvertCatalog, EveryLineEndKindGivesTheSameRecords) {
  TempFolder folder;
  WriteBytes(folder.File("crlf.kat"), ValidCatalogue(5, "\r\n"));
  ExpectSuccess(Convert(folder.File("crlf.kat"), folder.File("expected.kat")));
  const std::string expected = ReadBytes(folder.File("expected.kat"));
  ASSERT_EQ(expected.size(), 5 * kRecordSize);

  std::string mixed = ValidLine(1) + "\r" + ValidLine(2) + "\n" + ValidLine(3) + "\r\n" +
                      ValidLine(4) + "\r" + ValidLine(5);
  const std::string sources[] = {ValidCatalogue(5, "\r"), ValidCatalogue(5, "\n"), mixed,
                                 ValidCatalogue(4) + ValidLine(5)};
  for (const std::string& source : sources) {
    WriteBytes(folder.File("source.kat"), source);
    ExpectSuccess(Convert(folder.File("source.kat"), folder.File("out.kat")));
    EXPECT_EQ(ReadBytes(folder.File("out.kat")), expected);
  }
}

TEST(ConvertCatalog, SourceAsDestinationIsReadWholeThenReplaced) {
  TempFolder folder;
  const std::string path = folder.File("velmora.kat");
  WriteBytes(path, ValidCatalogue(100));
  WriteBytes(folder.File("copy.kat"), ValidCatalogue(100));
  ExpectSuccess(Convert(folder.File("copy.kat"), folder.File("expected.kat")));
  ExpectSuccess(Convert(path, path));
  // No old text remains past the records.
  EXPECT_EQ(ReadBytes(path), ReadBytes(folder.File("expected.kat")));
}

TEST(ConvertCatalog, MoreThan32767LinesConvert) {
  TempFolder folder;
  WriteBytes(folder.File("velmora.kat"), ValidCatalogue(40'000));
  ExpectSuccess(Convert(folder.File("velmora.kat"), folder.File("velmora-neu.kat")));
  EXPECT_EQ(fs::file_size(folder.File("velmora-neu.kat")), 40'000 * kRecordSize);
}

TEST(ConvertCatalog, AnEmptySourceGivesAnEmptyDestination) {
  TempFolder folder;
  WriteBytes(folder.File("velmora.kat"), "");
  WriteBytes(folder.File("velmora-neu.kat"), "old records");
  ExpectSuccess(Convert(folder.File("velmora.kat"), folder.File("velmora-neu.kat")));
  EXPECT_EQ(ReadBytes(folder.File("velmora-neu.kat")), "");
}

TEST(ConvertCatalog, BadDateOnLine5FailsAndARepairedSourceThenConverts) {
  TempFolder folder;
  const std::string source = folder.File("velmora.kat");
  const std::string dest = folder.File("velmora-neu.kat");
  std::string lines = ValidCatalogue(4) + CatalogLine("Funf", "", "1", "31.02.2020") + "\r\n";
  WriteBytes(source, lines + ValidCatalogue(3));

  const auto notice = Convert(source, dest);
  EXPECT_EQ(notice.text,
            "Fehler beim konvertieren: [13] Typen unverträglich in Zeile 5: „31.02.2020“");
  EXPECT_EQ(notice.icon, NoticeIcon::kCritical);
  EXPECT_FALSE(fs::exists(dest));

  WriteBytes(dest, "previous records");
  EXPECT_EQ(Convert(source, dest).icon, NoticeIcon::kCritical);
  EXPECT_EQ(ReadBytes(dest), "previous records");

  WriteBytes(source, ValidCatalogue(8));
  ExpectSuccess(Convert(source, dest));
  EXPECT_EQ(fs::file_size(dest), 8 * kRecordSize);
}

struct FailureCase {
  std::string name;
  // Prepares the folder and gives the source and destination paths.
  std::function<std::pair<std::string, std::string>(const TempFolder&)> setup;
  std::string notice;  // With "<source>" and "<dest>" standing for the paths.
};

std::string WithPaths(std::string text, const std::string& source, const std::string& dest) {
  for (const auto& [mark, path] : {std::pair{"<source>", source}, std::pair{"<dest>", dest}}) {
    if (auto at = text.find(mark); at != std::string::npos) {
      text.replace(at, std::string_view(mark).size(), path);
    }
  }
  return text;
}

TEST(ConvertCatalog, FailuresLeaveTheDestinationAsItWas) {
  const FailureCase cases[] = {
      {"missing source",
       [](const TempFolder& f) {
         return std::pair{f.File("missing.kat"), f.File("velmora-neu.kat")};
       },
       "Fehler beim konvertieren: [53] Datei nicht gefunden: <source>"},
      {"empty source path",
       [](const TempFolder& f) {
         return std::pair{std::string(), f.File("velmora-neu.kat")};
       },
       "Fehler beim konvertieren: [52] Dateiname oder -nummer falsch: "},
      {"missing source folder",
       [](const TempFolder& f) {
         return std::pair{f.File("none/velmora.kat"), f.File("velmora-neu.kat")};
       },
       "Fehler beim konvertieren: [76] Pfad nicht gefunden: <source>"},
      {"source is a folder",
       [](const TempFolder& f) {
         return std::pair{f.path().string(), f.File("velmora-neu.kat")};
       },
       "Fehler beim konvertieren: [75] Fehler beim Zugriff auf Pfad/Datei: <source>"},
      {"missing destination folder",
       [](const TempFolder& f) {
         return std::pair{f.File("velmora.kat"), f.File("none/velmora-neu.kat")};
       },
       "Fehler beim konvertieren: [76] Pfad nicht gefunden: <dest>"},
      {"destination is a folder",
       [](const TempFolder& f) {
         fs::create_directory(f.path() / "velmora-neu.kat");
         return std::pair{f.File("velmora.kat"), f.File("velmora-neu.kat")};
       },
       "Fehler beim konvertieren: [75] Fehler beim Zugriff auf Pfad/Datei: <dest>"},
      {"read-only destination",
       [](const TempFolder& f) {
         WriteBytes(f.File("velmora-neu.kat"), "old");
         fs::permissions(f.File("velmora-neu.kat"), fs::perms::owner_read);
         return std::pair{f.File("velmora.kat"), f.File("velmora-neu.kat")};
       },
       "Fehler beim konvertieren: [75] Fehler beim Zugriff auf Pfad/Datei: <dest>"},
      {"empty destination path",
       [](const TempFolder& f) {
         return std::pair{f.File("velmora.kat"), std::string()};
       },
       "Fehler beim konvertieren: [52] Dateiname oder -nummer falsch: "},
  };
  for (const FailureCase& failure_case : cases) {
    SCOPED_TRACE(failure_case.name);
    TempFolder folder;
    WriteBytes(folder.File("velmora.kat"), ValidCatalogue(3));
    const auto [source, dest] = failure_case.setup(folder);
    const std::vector<std::string> names_before = FolderNames(folder.path());
    const bool dest_existed = fs::is_regular_file(dest);
    const std::string dest_before = dest_existed ? ReadBytes(dest) : "";

    const auto notice = Convert(source, dest);
    EXPECT_EQ(notice.text, WithPaths(failure_case.notice, source, dest));
    EXPECT_EQ(notice.icon, NoticeIcon::kCritical);
    EXPECT_EQ(FolderNames(folder.path()), names_before);
    if (dest_existed) {
      EXPECT_EQ(ReadBytes(dest), dest_before);
    }
  }
}

}  // namespace
}  // namespace tessaril
