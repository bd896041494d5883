#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "catalog/convert_catalog.h"
#include "catalog/record_writer.h"
#include "platform/atomic_output_file.h"
#include "tests/faults/fault_support.h"
#include "tests/support/catalog_lines.h"
#include "tests/support/recording_notices.h"
#include "tests/support/temp_folder.h"

#if defined(__SANITIZE_ADDRESS__)
#define TESSARIL_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSARIL_ADDRESS_SANITIZER 1
#endif
#endif

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

constexpr int kLines = 10'000;
constexpr rlim_t kRecordBytes = kLines * kRecordSize;
constexpr std::string_view kSuccess = "Konvertieren erfolgreich abgeschlossen";

std::function<bool()> FileSizeLimit(rlim_t limit) {
  return [limit] {
    // As the program does at start-up: past the limit, write() fails with EFBIG.
    IgnoreFileSizeSignal();
    const rlimit file_size{limit, limit};
    return ::setrlimit(RLIMIT_FSIZE, &file_size) == 0;
  };
}

struct FullDiskCase {
  const char* name;
  rlim_t limit;
  bool over_its_source = false;  // The destination is the old catalogue itself.
  bool destination_exists = true;
};

TEST(FullDisk, EveryStopReports61AndKeepsTheDestinationAsItWas) {
  const FullDiskCase cases[] = {
      {"at the first record", 0},
      {"inside the first record", 31},
      {"in the middle, between two write calls", kRecordBytes / 2 + 17},
      {"at the last byte", kRecordBytes - 1},
      {"at the last byte, no destination before", kRecordBytes - 1, false, false},
      {"in the middle, over its own source", kRecordBytes / 2, true},
  };
  for (const FullDiskCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::string source = folder.File("velmora.kat");
    WriteBytes(source, ValidCatalogue(kLines));
    const std::string dest = c.over_its_source ? source : folder.File("velmora-neu.kat");
    if (c.destination_exists && !c.over_its_source) WriteBytes(dest, std::string(70'001, 'o'));
    const std::string dest_before = c.destination_exists ? ReadBytes(dest) : "";
    const std::vector<std::string> names_before = FolderNames(folder.path());

    const auto run = ConvertInChild(source, dest, FileSizeLimit(c.limit));
    EXPECT_EQ(run.notice_count, 1);
    EXPECT_TRUE(run.critical);
    EXPECT_EQ(run.notice, FailureNotice(61, "Datenträger voll", dest));
    EXPECT_EQ(FolderNames(folder.path()), names_before);
    if (c.destination_exists) {
      EXPECT_EQ(ReadBytes(dest), dest_before);
    } else {
      EXPECT_FALSE(fs::exists(dest));
    }
  }
}

TEST(FullDisk, RoomForExactlyTheRecordsIsEnough) {
  TempFolder folder;
  WriteBytes(folder.File("velmora.kat"), ValidCatalogue(kLines));
  const auto run = ConvertInChild(folder.File("velmora.kat"), folder.File("velmora-neu.kat"),
                                  FileSizeLimit(kRecordBytes));
  EXPECT_EQ(run.notice_count, 1);
  EXPECT_EQ(run.notice, kSuccess);
  EXPECT_EQ(fs::file_size(folder.File("velmora-neu.kat")), kRecordBytes);
}

// The process's current size of address space, from the kernel's own account.
rlim_t AddressSpaceBytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmSize:")) return std::strtoull(line.c_str() + 7, nullptr, 10) * 1024;
  }
  return 0;
}

TEST(OutOfMemory, AnEntryListThatCannotGrowReports7AndKeepsTheDestination) {
#ifdef TESSARIL_ADDRESS_SANITIZER
  GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space, so an address space "
                  "limit cannot be set; the normal build runs this case";
#endif
  TempFolder folder;
  const std::string source = folder.File("velmora.kat");
  const std::string dest = folder.File("velmora-neu.kat");
  // 64 bytes an entry: 600,000 lines need far more than the 16 MiB left to the child.
  WriteBytes(source, ValidCatalogue(600'000, "\n"));
  WriteBytes(dest, "the old records");
  const std::vector<std::string> names_before = FolderNames(folder.path());

  const auto run = ConvertInChild(source, dest, [] {
    const rlim_t limit = AddressSpaceBytes() + (rlim_t{16} << 20);
    const rlimit address_space{limit, limit};
    return limit > (rlim_t{16} << 20) && ::setrlimit(RLIMIT_AS, &address_space) == 0;
  });
  EXPECT_EQ(run.notice_count, 1);
  EXPECT_TRUE(run.critical);
  const std::string intro = "Fehler beim konvertieren: [7] Nicht genügend Speicher für Zeile ";
  ASSERT_TRUE(run.notice.starts_with(intro)) << run.notice;
  EXPECT_TRUE(run.notice.ends_with(" von " + source)) << run.notice;
  // The list ran out after many lines, not the reader at its start.
  EXPECT_GT(std::atol(run.notice.c_str() + intro.size()), 10'000) << run.notice;
  EXPECT_EQ(ReadBytes(dest), "the old records");
  EXPECT_EQ(FolderNames(folder.path()), names_before);
}

}  // namespace
}  // namespace tessaril
