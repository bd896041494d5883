#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "catalog/convert_catalog.h"
#include "catalog/record_writer.h"
#include "tests/faults/fault_support.h"
#include "tests/support/catalog_lines.h"
#include "tests/support/recording_notices.h"
#include "tests/support/temp_folder.h"

namespace tessaril {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::CountTemporaries;
using testing::ReadBytes;
using testing::RecordingNotices;
using testing::StartConvertInChild;
using testing::TempFolder;
using testing::ValidCatalogue;
using testing::WriteBytes;

constexpr int kLines = 300'000;  // About 20 MB of old catalogue, 18.6 MB of records.

// True once the conversion's temporary file in `folder` holds at least one byte.
bool WritingHasBegun(const fs::path& folder) {
  for (const auto& item : fs::directory_iterator(folder)) {
    struct stat info {};
    if (testing::IsTemporaryName(item.path().filename().string()) &&
        ::stat(item.path().c_str(), &info) == 0 && info.st_size > 0) {
      return true;
    }
  }
  return false;
}

// Kills the converting process with SIGKILL at several moments of its writing; the old
// destination must then be whole, or the new one complete, and never a mix of both.
TEST(InterruptedWrite, AKilledConversionLeavesTheOldOrTheNewCatalogueWhole) {
  TempFolder folder;
  const std::string source = folder.File("velmora.kat");
  const std::string dest = folder.File("velmora-neu.kat");
  WriteBytes(source, ValidCatalogue(kLines));
  {
    RecordingNotices notices;
    ConvertCatalog(source, folder.File("expected.kat"), notices);
  }
  const std::string new_records = ReadBytes(folder.File("expected.kat"));
  ASSERT_EQ(new_records.size(), kLines * kRecordSize);
  fs::remove(folder.File("expected.kat"));
  const std::string old_records(1'000'003, 'o');

  int killed_while_writing = 0;
  for (const std::chrono::microseconds delay :
       {0us, 0us, 300us, 1000us, 3000us, 10000us, 15000us, 20000us, 25000us, 40000us}) {
    SCOPED_TRACE("killed " + std::to_string(delay.count()) + " us after writing began");
    WriteBytes(dest, old_records);
    const pid_t child = StartConvertInChild(source, dest);
    ASSERT_GT(child, 0);
    const auto give_up = std::chrono::steady_clock::now() + 20s;
    int status = 0;
    pid_t ended = 0;
    while (!WritingHasBegun(folder.path()) && (ended = ::waitpid(child, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < give_up) {
      std::this_thread::sleep_for(50us);
    }
    if (ended == 0) {
      std::this_thread::sleep_for(delay);
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
    }

    const std::string after = ReadBytes(dest);
    EXPECT_TRUE(after == old_records || after == new_records)
        << "the destination is a mix of " << after.size() << " bytes";
    const int left = CountTemporaries(folder.path());
    EXPECT_LE(left, 1);
    killed_while_writing += WIFSIGNALED(status) && left == 1 ? 1 : 0;
    for (const auto& item : fs::directory_iterator(folder.path())) {
      if (item.path().filename().string().starts_with(".tessaril-")) fs::remove(item.path());
    }
  }
  // At least one kill must have landed mid-write, or the test proved nothing.
  EXPECT_GE(killed_while_writing, 1);
}

}  // namespace
}  // namespace tessaril
