#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "catalog/record_writer.h"
#include "tests/faults/fault_support.h"
#include "tests/support/catalog_lines.h"
#include "tests/support/temp_folder.h"

namespace tessaril {
namespace {

namespace fs = std::filesystem;
using testing::ConvertInChild;
using testing::DropRoot;
using testing::FailureNotice;
using testing::FolderNames;
using testing::ReadBytes;
using testing::TempFolder;
using testing::ValidCatalogue;
using testing::WriteBytes;

constexpr std::string_view kDenied = "Zugriff verweigert";

void Mode(const fs::path& path, mode_t mode) { ASSERT_EQ(::chmod(path.c_str(), mode), 0); }

struct PermissionCase {
  const char* name;
  const char* source;  // Relative to the folder.
  const char* dest;
  // Takes permissions away after the files are in place.
  std::function<void(const TempFolder&)> restrict;
  bool source_denied;  // Else the destination is, or nothing when neither is.
  bool neither_denied = false;
};

// Every case runs as an ordinary user: a child running as root first becomes user 65534, since
// root may read and write whatever the permissions say.
TEST(Permissions, DeniedAccessReports70AndLeavesEverythingAsItWas) {
  const PermissionCase cases[] = {
      {"destination folder without write permission, destination present", "velmora.kat",
       "locked/velmora-neu.kat", [](const TempFolder& f) { Mode(f.path() / "locked", 0555); },
       false},
      {"destination folder without write permission, no destination", "velmora.kat",
       "locked/neu.kat", [](const TempFolder& f) { Mode(f.path() / "locked", 0555); }, false},
      {"source without read permission", "velmora.kat", "open/velmora-neu.kat",
       [](const TempFolder& f) { Mode(f.path() / "velmora.kat", 0200); }, true},
      {"source in a folder that may not be entered", "hidden/velmora.kat", "open/velmora-neu.kat",
       [](const TempFolder& f) { Mode(f.path() / "hidden", 0700); }, true},
      {"control: everything allowed converts", "velmora.kat", "open/velmora-neu.kat",
       [](const TempFolder&) {}, false, true},
  };
  for (const PermissionCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    // The unprivileged user must reach the folder; each case then takes one permission away.
    Mode(folder.path(), 0755);
    for (const char* sub : {"locked", "open", "hidden"}) {
      fs::create_directory(folder.path() / sub);
      Mode(folder.path() / sub, 0777);
    }
    const std::string catalogue = ValidCatalogue(20);
    WriteBytes(folder.File("velmora.kat"), catalogue);
    WriteBytes(folder.File("hidden/velmora.kat"), catalogue);
    WriteBytes(folder.File("locked/velmora-neu.kat"), "old records");
    WriteBytes(folder.File("open/velmora-neu.kat"), "old records");
    for (const char* file :
         {"velmora.kat", "hidden/velmora.kat", "locked/velmora-neu.kat", "open/velmora-neu.kat"}) {
      Mode(folder.path() / file, 0666);
    }
    c.restrict(folder);
    const std::string source = folder.File(c.source);
    const std::string dest = folder.File(c.dest);
    const fs::path dest_folder = fs::path(dest).parent_path();
    const std::vector<std::string> names_before = FolderNames(dest_folder);
    const bool dest_existed = fs::exists(dest);

    const auto run = ConvertInChild(source, dest, DropRoot);
    EXPECT_EQ(run.notice_count, 1);
    if (c.neither_denied) {
      EXPECT_EQ(run.notice, "Konvertieren erfolgreich abgeschlossen");
      EXPECT_EQ(fs::file_size(dest), 20 * kRecordSize);
      continue;
    }
    EXPECT_TRUE(run.critical);
    EXPECT_EQ(run.notice, FailureNotice(70, kDenied, c.source_denied ? source : dest));
    EXPECT_EQ(FolderNames(dest_folder), names_before);
    if (dest_existed) {
      EXPECT_EQ(ReadBytes(dest), "old records");
    }
  }
}

}  // namespace
}  // namespace tessaril
