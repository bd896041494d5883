#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "catalog/convert_catalog.h"
#include "platform/program_directory.h"
#include "platform/windows/windows_failure.h"
#include "tests/support/test_support.h"

namespace tessaril {
namespace {

namespace fs = std::filesystem;

TEST(WindowsFiles, ErrorCodesMapToFailures) {
  const std::pair<std::vector<DWORD>, const char*> cases[] = {
      {{ERROR_FILE_NOT_FOUND}, "53 Datei nicht gefunden"},
      {{ERROR_PATH_NOT_FOUND, ERROR_INVALID_DRIVE, ERROR_BAD_NETPATH}, "76 Pfad nicht gefunden"},
      {{ERROR_INVALID_NAME, ERROR_FILENAME_EXCED_RANGE}, "52 Dateiname oder -nummer falsch"},
      {{ERROR_ACCESS_DENIED}, "70 Zugriff verweigert"},
      {{ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION}, "75 Fehler beim Zugriff auf Pfad/Datei"},
      {{ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL, 1295 /* quota */}, "61 Datenträger voll"},
      {{ERROR_NOT_ENOUGH_MEMORY, ERROR_OUTOFMEMORY}, "7 Nicht genügend Speicher"},
      {{ERROR_CRC}, "57 Geräte-E/A-Fehler"},
  };
  for (const auto& [errors, expected] : cases) {
    for (const DWORD error : errors) {
      const Failure failure = FailureFromWindowsError(error, "C:\\x");
      EXPECT_EQ(std::to_string(static_cast<int>(failure.code)) + " " + failure.description,
                std::string(expected) + ": „C:\\x“");
    }
  }
}

// What is beside the destination before the run; it must be there unchanged after a failure.
enum class Before { kNothing, kFolder, kOldFile, kReadOnlyFile, kHeldOldFile };

TEST(WindowsFiles, RefusesDevicesFoldersReadOnlyAndBadNamesAndKeepsUtf8Names) {
  struct Case {
    std::string source;  // UTF-8, inside the folder.
    std::string dest;
    Before before;
    std::string_view notice_start;  // Empty for success.
  };
  const std::string too_long(300, 'x');
  const Case cases[] = {
      {"velmora.kat", "Bücher-äöüß.kat", Before::kOldFile, ""},
      {"velmora.kat", "Κατάλογος-日本.kat", Before::kNothing, ""},
      {"Übersicht-Ωμέγα.kat", "neu.kat", Before::kNothing, ""},
      {"velmora.kat", "NUL", Before::kNothing, "[75] Fehler beim Zugriff auf Pfad/Datei"},
      {"velmora.kat", "CON", Before::kNothing, "[75] Fehler beim Zugriff auf Pfad/Datei"},
      {"velmora.kat", "ordner", Before::kFolder, "[75] Fehler beim Zugriff auf Pfad/Datei"},
      {"velmora.kat", "alt.kat", Before::kReadOnlyFile, "[75] Fehler beim Zugriff auf Pfad/Datei"},
      // Held open by another program past the retries: refused only when the records are written.
      {"velmora.kat", "alt.kat", Before::kHeldOldFile, "[75] Fehler beim Zugriff auf Pfad/Datei"},
      {"velmora.kat", "a<b.kat", Before::kNothing, "[52] Dateiname oder -nummer falsch"},
      {"velmora.kat", too_long, Before::kNothing, "[52] Dateiname oder -nummer falsch"},
      {"velmora.kat", "\xFF.kat", Before::kNothing, "[52] Dateiname oder -nummer falsch"},
      {"NUL", "neu.kat", Before::kNothing, "[75] Fehler beim Zugriff auf Pfad/Datei"},
      {"CON", "neu.kat", Before::kNothing, "[75] Fehler beim Zugriff auf Pfad/Datei"},
      {".", "neu.kat", Before::kNothing, "[75] Fehler beim Zugriff auf Pfad/Datei"},
  };
  const std::string catalogue = testing::ValidCatalogue(2);

  for (const auto& [source, dest, before, notice_start] : cases) {
    testing::TempFolder folder;
    const auto utf8 = [&](const std::string& name) {
      const std::u8string base = folder.path().u8string();
      return std::string(base.begin(), base.end()) + "\\" + name;
    };
    // Paths made apart from the program's own conversion, to check its round trip.
    const auto wide = [&](const std::string& name) {
      return folder.path() / fs::path(std::u8string(name.begin(), name.end()));
    };
    // Wine's ReplaceFileW, when it fails, leaves an "rf*.tmp" of its own beside the file.
    const auto entries = [&] {
      return std::ranges::count_if(fs::directory_iterator(folder.path()), [](const auto& entry) {
        const std::wstring name = entry.path().filename().wstring();
        return !name.starts_with(L"rf") || !name.ends_with(L".tmp");
      });
    };
    const std::string old_bytes = "old catalogue, longer than two records" + std::string(200, '.');
    if (source.ends_with(".kat")) std::ofstream(wide(source), std::ios::binary) << catalogue;
    if (before == Before::kFolder) fs::create_directory(wide(dest));
    if (before >= Before::kOldFile) std::ofstream(wide(dest), std::ios::binary) << old_bytes;
    if (before == Before::kReadOnlyFile)
      ::SetFileAttributesW(wide(dest).c_str(), FILE_ATTRIBUTE_READONLY);
    const HANDLE held = before != Before::kHeldOldFile
                            ? INVALID_HANDLE_VALUE
                            : ::CreateFileW(wide(dest).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                            nullptr, OPEN_EXISTING, 0, nullptr);
    const auto entries_before = entries();

    testing::RecordingNotices notices;
    ConvertCatalog(utf8(source), utf8(dest), notices);
    if (held != INVALID_HANDLE_VALUE) ::CloseHandle(held);

    ASSERT_EQ(notices.seen.size(), 1u) << dest;
    const bool succeeded = notice_start.empty();
    EXPECT_TRUE(notices.seen[0].text.starts_with(
        succeeded ? "Konvertieren erfolgreich abgeschlossen"
                  : "Fehler beim konvertieren: " + std::string(notice_start)))
        << notices.seen[0].text;
    // The new records, or what was there before; no temporary file, and a new file only after
    // a success.
    if (before == Before::kFolder) {
      EXPECT_TRUE(fs::is_directory(wide(dest)));
    } else if (succeeded || before >= Before::kOldFile) {
      EXPECT_EQ(testing::ReadBytes(wide(dest)),
                succeeded ? testing::ExpectedRecords(2) : old_bytes);
    }
    EXPECT_EQ(entries(), entries_before + (succeeded && before == Before::kNothing ? 1 : 0));
  }
}

TEST(WindowsFiles, ProgramDirectoryHoldsThisProgramAndCataloguesGoWhereTheUserMayWrite) {
  const std::string directory = ProgramDirectory();
  const auto test_program =
      fs::path(std::u8string(directory.begin(), directory.end())) / "windows_tests.exe";
  EXPECT_TRUE(fs::exists(test_program)) << directory;

  testing::TempFolder folder;
  const std::u8string writable = (folder.path() / u8"Kataloge äö").u8string();
  fs::create_directory(writable);
  const std::string home = HomeDirectory();
  EXPECT_TRUE(fs::is_directory(fs::path(std::u8string(home.begin(), home.end())))) << home;
  EXPECT_EQ(CatalogueDirectory(std::string(writable.begin(), writable.end()), home),
            std::string(writable.begin(), writable.end()));
  EXPECT_EQ(CatalogueDirectory(folder.File("fehlt"), home), home);
  EXPECT_EQ(CatalogueDirectory("", home), home);
  EXPECT_EQ(fs::directory_iterator(writable), fs::directory_iterator()) << "no probe left";
}

}  // namespace
}  // namespace tessaril
