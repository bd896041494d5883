#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "catalog/code_page.h"
#include "catalog/convert_catalog.h"
#include "platform/program_directory.h"
#include "platform/windows/file_names.h"
#include "tests/support/test_support.h"

namespace tessaril {
namespace {

namespace fs = std::filesystem;

// What is beside the destination before the run; it must be there unchanged after a failure.
// kParentFolders makes the folders the two names lie in; kPrivate is an old file that only its
// owner may open, hidden and a system file.
enum class Before { kNothing, kFolder, kParentFolders, kOldFile, kReadOnly, kHeld, kPrivate };

// The access rules of `path` in the system's text form, "D:P(A;;FA;;;OW)".
std::wstring AccessRules(const fs::path& path) {
  PSECURITY_DESCRIPTOR security = nullptr;
  wchar_t* text = nullptr;
  ::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                          nullptr, nullptr, &security);
  ::ConvertSecurityDescriptorToStringSecurityDescriptorW(security, SDDL_REVISION_1,
                                                         DACL_SECURITY_INFORMATION, &text, nullptr);
  std::wstring rules = text ? text : L"(none)";
  ::LocalFree(text);
  ::LocalFree(security);
  return rules;
}

// The converter program started on two wide paths, as from a command prompt, and killed (code 9)
// as soon as records are in its new file beside `dest`; its exit code, and the access rules the
// new file had then.
DWORD KillConverterWhileWriting(const fs::path& source, const fs::path& dest,
                                std::wstring& rules_while_written) {
  const std::string directory = ProgramDirectory();
  const fs::path program =
      fs::path(std::u8string(directory.begin(), directory.end())) / TESSARIL_CONVERT_FILE;
  std::wstring command =
      L"\"" + program.wstring() + L"\" \"" + source.wstring() + L"\" \"" + dest.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};  // Without a process, no exit code: ~0.
  ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                   &started);
  for (WIN32_FIND_DATAW found; ::WaitForSingleObject(started.hProcess, 0) == WAIT_TIMEOUT;) {
    const HANDLE search =
        ::FindFirstFileW((dest.parent_path() / L".tessaril-*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) continue;
    ::FindClose(search);
    if (found.nFileSizeLow == 0) continue;
    rules_while_written = AccessRules(dest.parent_path() / found.cFileName);
    ::TerminateProcess(started.hProcess, 9);
  }
  DWORD code = ~0U;
  ::WaitForSingleObject(started.hProcess, INFINITE);
  ::GetExitCodeProcess(started.hProcess, &code);
  ::CloseHandle(started.hProcess);
  ::CloseHandle(started.hThread);
  return code;
}

TEST(WindowsFiles, RefusesDevicesStreamsFoldersReadOnlyAndBadNamesAndKeepsNamesAndRules) {
  struct Case {
    std::string source;  // UTF-8, inside the folder.
    std::string dest;
    Before before;
    std::string notice;      // After "Fehler beim konvertieren: ", or empty for success.
    std::string bytes = {};  // Of the source, in place of a valid catalogue.
  };
  // The notices' parts, with <source> and <dest> for the paths.
  const std::string k52 = "[52] Dateiname oder -nummer falsch: ",
                    k75 = "[75] Fehler beim Zugriff auf Pfad/Datei: ",
                    kOld = "alte Katalogdatei „<source>“", kNew = "neue Katalogdatei „<dest>“",
                    kDevice = " ist keine reguläre Datei", kFolder = " ist ein Ordner";
  const std::string too_long(300, 'x');
  // Well beyond MAX_PATH in all, each name within the 255 a name may have.
  const std::string deep = std::string(200, 'o') + "\\" + std::string(100, 'p');
  const Case cases[] = {
      {"velmora.kat", "Bücher-äöüß.kat", Before::kOldFile, ""},
      {"velmora.kat", "Κατάλογος-日本.kat", Before::kNothing, ""},
      // Also killed as a program while it writes. No code page but UTF-16 holds both names:
      // "OMEGA.kat" would be written in the ANSI one.
      {"Übersicht-Ωμέγα.kat", "ΩMEGA-日本.kat", Before::kPrivate, ""},
      {deep + "\\velmora.kat", deep + "\\neu.kat", Before::kParentFolders, ""},
      {"velmora.kat", "NUL", Before::kNothing, k75 + kNew + kDevice},
      {"velmora.kat", "COM¹.kat", Before::kNothing, k75 + kNew + kDevice},
      {"velmora.kat", "lpt³", Before::kNothing, k75 + kNew + kDevice},
      {"velmora.kat", "ordner", Before::kFolder, k75 + kNew + kFolder},
      {"velmora.kat", "alt.kat", Before::kReadOnly, k75 + kNew + " ist schreibgeschützt"},
      // Held open by another program past the retries: refused only when the records are written.
      {"velmora.kat", "alt.kat", Before::kHeld,
       k75 + kNew + " wird von einem anderen Programm benutzt"},
      {"velmora.kat", "a<b.kat", Before::kNothing, k52 + kNew},
      {"velmora.kat", too_long, Before::kNothing, k52 + kNew + " ist zu lang"},
      // Shown as it can be, in valid UTF-8.
      {"velmora.kat", "\xFF.kat", Before::kNothing, k52 + "neue Katalogdatei „<folder>\uFFFD.kat“"},
      {"velmora.kat", "alt.kat:s", Before::kOldFile, k52 + kNew},
      {"velmora.kat", "fehlt\\neu.kat", Before::kNothing,
       "[76] Pfad nicht gefunden: " + kNew + " liegt in einem fehlenden Ordner"},
      {"velmora.kat", "velmora.kat\\neu.kat", Before::kNothing,
       "[76] Pfad nicht gefunden: " + kNew + " liegt in einer Datei statt in einem Ordner"},
      {"fehlt", "neu.kat", Before::kNothing, "[53] Datei nicht gefunden: " + kOld},
      {"NUL", "neu.kat", Before::kNothing, k75 + kOld + kDevice},
      {"velmora.kat:s", "neu.kat", Before::kNothing, k52 + kOld},
      {".", "neu.kat", Before::kNothing, k75 + kOld + kFolder},
      // Lines saved again as UTF-8, after its byte-order mark, and the old end-of-file byte:
      // the two lines of a valid catalogue.
      {"velmora.kat", "neu.kat", Before::kOldFile, "",
       "\xEF\xBB\xBF" + Cp1252ToUtf8(testing::ValidCatalogue(2)) + "\x1A"},
      {"velmora.kat", "neu.kat", Before::kOldFile,
       "[13] Typen unverträglich in Zeile 2, Spalten 56 bis 65: „“ (die Zeile ist leer); ebenso "
       "in einer weiteren Zeile: 4",
       testing::ValidCatalogue(1) + "\r\n" + testing::ValidCatalogue(1) + "\r\n"},
  };
  const std::string old_bytes = "old catalogue, longer than two records" + std::string(200, '.');

  for (const auto& [source, dest, before, expected_notice, bytes] : cases) {
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
    // Long enough that the new file beside the destination can be watched while it is written.
    const int lines = before == Before::kPrivate ? 100000 : 2;
    if (before == Before::kParentFolders) fs::create_directories(wide(deep));
    if (source.ends_with(".kat")) {
      std::ofstream(wide(source), std::ios::binary)
          << (bytes.empty() ? testing::ValidCatalogue(lines) : bytes);
    }
    if (before == Before::kFolder) fs::create_directory(wide(dest));
    if (before >= Before::kOldFile) std::ofstream(wide(dest), std::ios::binary) << old_bytes;
    if (before == Before::kReadOnly)
      ::SetFileAttributesW(wide(dest).c_str(), FILE_ATTRIBUTE_READONLY);
    constexpr DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (before == Before::kPrivate) {
      PSECURITY_DESCRIPTOR owner_only = nullptr;
      ::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;OW)", SDDL_REVISION_1,
                                                             &owner_only, nullptr);
      EXPECT_TRUE(::SetFileSecurityW(wide(dest).c_str(), DACL_SECURITY_INFORMATION, owner_only));
      ::LocalFree(owner_only);
      ::SetFileAttributesW(wide(dest).c_str(), kHiddenSystem);
    }
    const std::wstring rules_before = before == Before::kPrivate ? AccessRules(wide(dest)) : L"";
    const HANDLE held = before != Before::kHeld
                            ? INVALID_HANDLE_VALUE
                            : ::CreateFileW(wide(dest).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                            nullptr, OPEN_EXISTING, 0, nullptr);
    const auto entries_before = entries();
    // A run killed while it writes leaves the old file as it was, and nothing beside it (counted
    // below); nobody the destination keeps out may read the records even while they are written.
    if (before == Before::kPrivate) {
      std::wstring rules_while_written;
      EXPECT_EQ(KillConverterWhileWriting(wide(source), wide(dest), rules_while_written), 9u);
      EXPECT_EQ(rules_while_written, rules_before);
      EXPECT_EQ(testing::ReadBytes(wide(dest)), old_bytes);
    }
    testing::RecordingNotices notices;
    ConvertCatalog(utf8(source), utf8(dest), notices);
    if (held != INVALID_HANDLE_VALUE) ::CloseHandle(held);
    ASSERT_EQ(notices.seen.size(), 1u) << dest;
    const bool succeeded = expected_notice.empty();
    EXPECT_EQ(notices.seen[0].text,
              succeeded
                  ? "Konvertieren erfolgreich abgeschlossen"
                  : "Fehler beim konvertieren: " +
                        testing::WithPaths(expected_notice, utf8(source), utf8(dest), utf8("")));
    // The new records, or what was there before; no temporary file, and a new file only after
    // a success.
    if (before == Before::kFolder) {
      EXPECT_TRUE(fs::is_directory(wide(dest)));
    } else if (succeeded || before >= Before::kOldFile) {
      EXPECT_TRUE(testing::ReadBytes(wide(dest)) ==
                  (succeeded ? testing::ExpectedRecords(lines) : old_bytes))
          << dest;
    }
    EXPECT_EQ(entries(), entries_before + (succeeded && before == Before::kNothing ? 1 : 0))
        << dest;
    // Nor after it, and the file stays hidden and a system file.
    if (before == Before::kPrivate) {
      // Wine keeps rules as a mode and gives a private file "D:(A;;FA;;;SY)".
      EXPECT_EQ(rules_before.find(L";WD)"), std::wstring::npos) << "everyone";
      EXPECT_EQ(AccessRules(wide(dest)), rules_before);
      EXPECT_EQ(::GetFileAttributesW(wide(dest).c_str()) & kHiddenSystem, kHiddenSystem);
    }
    // Short enough again for the C runtime to remove.
    if (before == Before::kParentFolders) fs::rename(wide(deep.substr(0, 200)), wide("o"));
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
  // The Documents folder, where it may have been moved to; asked here through the older call.
  const std::string home = HomeDirectory();
  wchar_t documents[MAX_PATH];
  ASSERT_EQ(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, documents), S_OK);
  EXPECT_EQ(fs::path(std::u8string(home.begin(), home.end())), fs::path(documents));
  EXPECT_EQ(CatalogueDirectory(std::string(writable.begin(), writable.end()), home),
            std::string(writable.begin(), writable.end()));
  EXPECT_EQ(CatalogueDirectory(folder.File("fehlt"), home), home);
  EXPECT_EQ(CatalogueDirectory("", home), home);
  EXPECT_EQ(fs::directory_iterator(writable), fs::directory_iterator()) << "no probe left";
}

TEST(WindowsFiles, PathsOfMaxPathOrMoreTakeTheirFullFormBehindThePrefix) {
  const std::wstring a(300, L'a');
  const std::wstring b(150, L'b');
  const std::wstring current = fs::current_path().wstring();
  // A long drive path itself, and short paths left as they are, are the conversion table's.
  const std::pair<std::wstring, std::wstring> cases[] = {
      {LR"(C:\)" + b + LR"(\..\)" + b + LR"(\.\x)", LR"(\\?\C:\)" + b + LR"(\x)"},
      {LR"(\\server\share\)" + a, LR"(\\?\UNC\server\share\)" + a},
      {LR"(\\?\C:\)" + a + LR"(\..)", LR"(\\?\C:\)" + a + LR"(\..)"},
      // Short itself, but not in the folder it is taken from.
      {std::wstring(260 - current.size(), L'k'),
       LR"(\\?\)" + current + L"\\" + std::wstring(260 - current.size(), L'k')},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(LongPathForm(path), expected) << path.size();
}

}  // namespace
}  // namespace tessaril
