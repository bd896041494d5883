#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/faults/fault_support.h"
#include "tests/support/catalog_lines.h"
#include "tests/support/temp_folder.h"

namespace tessaril {
namespace {

namespace fs = std::filesystem;
using testing::ConvertInChild;
using testing::FailureNotice;
using testing::FolderNames;
using testing::ReadBytes;
using testing::TempFolder;
using testing::ValidCatalogue;
using testing::WriteBytes;

constexpr std::string_view kAccess = "Fehler beim Zugriff auf Pfad/Datei";
constexpr unsigned kHangSeconds = 5;

void MakeFifo(const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); }

void MakeSocket(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
}

struct SpecialCase {
  const char* name;
  // Makes the special file in the folder, or names one of the system's, and gives its path.
  std::function<std::string(const TempFolder&)> make;
};

const SpecialCase kSpecialFiles[] = {
    {"a folder",
     [](const TempFolder& f) {
       fs::create_directory(f.path() / "folder.kat");
       return f.File("folder.kat");
     }},
    {"a FIFO without a writer",
     [](const TempFolder& f) {
       MakeFifo(f.File("fifo.kat"));
       return f.File("fifo.kat");
     }},
    {"a socket",
     [](const TempFolder& f) {
       MakeSocket(f.File("socket.kat"));
       return f.File("socket.kat");
     }},
    {"the null device", [](const TempFolder&) { return std::string("/dev/null"); }},
    {"a device that never ends", [](const TempFolder&) { return std::string("/dev/zero"); }},
};

// Each run is a child with an alarm, so a conversion that waits or reads forever fails the
// case instead of stopping the test program.
TEST(SpecialFiles, ASourceThatIsNoRegularFileIsRefusedWith75) {
  for (const SpecialCase& c : kSpecialFiles) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::string source = c.make(folder);
    const std::string dest = folder.File("velmora-neu.kat");
    WriteBytes(dest, "old records");
    const std::vector<std::string> names_before = FolderNames(folder.path());

    const auto run = ConvertInChild(source, dest, {}, kHangSeconds);
    EXPECT_EQ(run.end_signal, 0) << "the conversion hung or crashed";
    EXPECT_EQ(run.notice_count, 1);
    EXPECT_EQ(run.notice, FailureNotice(75, kAccess, source));
    EXPECT_EQ(ReadBytes(dest), "old records");
    EXPECT_EQ(FolderNames(folder.path()), names_before);
  }
}

TEST(SpecialFiles, AFifoIsRefusedBeforeAnythingIsRead) {
  TempFolder folder;
  const std::string source = folder.File("fifo.kat");
  MakeFifo(source);
  // Opened for both ends, so the FIFO has a writer and holds a whole catalogue unread.
  const int fd = ::open(source.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  const std::string catalogue = ValidCatalogue(3);
  ASSERT_EQ(::write(fd, catalogue.data(), catalogue.size()),
            static_cast<ssize_t>(catalogue.size()));

  const auto run = ConvertInChild(source, folder.File("velmora-neu.kat"), {}, kHangSeconds);
  EXPECT_EQ(run.notice, FailureNotice(75, kAccess, source));
  std::string left(catalogue.size() + 1, '\0');
  EXPECT_EQ(::read(fd, left.data(), left.size()), static_cast<ssize_t>(catalogue.size()));
  left.resize(catalogue.size());
  EXPECT_EQ(left, catalogue);
  ::close(fd);
  EXPECT_FALSE(fs::exists(folder.File("velmora-neu.kat")));
}

TEST(SpecialFiles, ADestinationThatIsNoRegularFileIsRefusedWith75) {
  for (const SpecialCase& c : kSpecialFiles) {
    if (std::string_view(c.name) == "a device that never ends") continue;  // Same as null.
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::string source = folder.File("velmora.kat");
    WriteBytes(source, ValidCatalogue(3));
    const std::string dest = c.make(folder);
    const std::vector<std::string> names_before = FolderNames(folder.path());

    const auto run = ConvertInChild(source, dest, {}, kHangSeconds);
    EXPECT_EQ(run.end_signal, 0) << "the conversion hung or crashed";
    EXPECT_EQ(run.notice_count, 1);
    EXPECT_EQ(run.notice, FailureNotice(75, kAccess, dest));
    EXPECT_EQ(FolderNames(folder.path()), names_before);
  }
}

}  // namespace
}  // namespace tessaril
