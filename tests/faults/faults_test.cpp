#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "catalog/convert_catalog.h"
#include "catalog/record_writer.h"
#include "platform/atomic_output_file.h"
#include "platform/posix/errno_failure.h"
#include "tests/support/test_support.h"

namespace tessaril {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::ReadBytes;

constexpr int kLines = 10'000;
constexpr rlim_t kRecordBytes = kLines * kRecordSize, kNone = RLIM_INFINITY;

// The child's own address space and what it may add to it.
rlim_t AddressSpaceAnd(rlim_t extra) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmSize:")) return std::stoull(line.substr(7)) * 1024 + extra;
  }
  return 0;
}

// Converts in a child that runs as an ordinary user (root may read and write whatever the
// permissions say, so it becomes user 65534) under the given limits; gives back its notice.
std::string ConvertInChild(const std::string& source, const std::string& dest, rlim_t file_size,
                           rlim_t more_memory) {
  int fds[2];
  if (::pipe(fds) != 0) return "no pipe";
  if (::fork() == 0) {
    ::alarm(60);
    IgnoreFileSizeSignal();  // As the program does at start: the write then fails with EFBIG.
    const rlimit size_limit{file_size, file_size};
    const rlim_t memory = more_memory == kNone ? kNone : AddressSpaceAnd(more_memory);
    const rlimit memory_limit{memory, memory};
    std::string text = "could not become the user";
    if ((::geteuid() != 0 ||
         (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0)) &&
        ::setrlimit(RLIMIT_FSIZE, &size_limit) == 0 && ::setrlimit(RLIMIT_AS, &memory_limit) == 0) {
      testing::RecordingNotices notices;
      ConvertCatalog(source, dest, notices);
      text = notices.seen.size() == 1 ? notices.seen[0].text : "not one notice";
    }
    [[maybe_unused]] const ssize_t written = ::write(fds[1], text.data(), text.size());
    ::_exit(0);
  }
  ::close(fds[1]);
  ::wait(nullptr);
  // One write of less than the pipe's buffer, made before the child ended.
  char notice[4096];
  const ssize_t size = ::read(fds[0], notice, sizeof notice);
  ::close(fds[0]);
  return std::string(notice, static_cast<std::size_t>(std::max<ssize_t>(size, 0)));
}

struct Fault {
  const char* name;
  const char* source;
  const char* dest;
  rlim_t file_size, more_memory;
  std::string notice;  // After "Fehler beim konvertieren: ", with <source> and <dest>.
  int records = kLines;
};

TEST(Faults, LimitsAndRefusalsReportTheirCodeAndLeaveEverythingAsItWas) {
  const std::string k61 = "[61] Datenträger voll: „<dest>“", k70 = "[70] Zugriff verweigert: ";
  const std::string k13 =
      "[13] Typen unverträglich in Zeile 10001, Spalten 56 bis 65: „31.02.2020“";
  constexpr int kBigLines = 600'000;  // 40 MB of old catalogue.
  const Fault faults[] = {
    {"disk full at the first record", "velmora.kat", "old.kat", 0, kNone, k61},
    {"inside the first record", "velmora.kat", "old.kat", 31, kNone, k61},
    {"between two writes", "velmora.kat", "old.kat", kRecordBytes / 2 + 17, kNone, k61},
    {"at the last byte", "velmora.kat", "old.kat", kRecordBytes - 1, kNone, k61},
    {"at the last byte, a new file", "velmora.kat", "new.kat", kRecordBytes - 1, kNone, k61},
    {"over its own source", "velmora.kat", "velmora.kat", kRecordBytes / 2, kNone, k61},
    {"room for exactly the records", "velmora.kat", "old.kat", kRecordBytes, kNone, ""},
    {"folder not writable", "velmora.kat", "locked/old.kat", kNone, kNone, k70 + "„<dest>“"},
    {"source not readable", "unreadable.kat", "old.kat", kNone, kNone, k70 + "„<source>“"},
    {"source folder closed", "hidden/velmora.kat", "old.kat", kNone, kNone, k70 + "„<source>“"},
    {"bad line, disk full", "bad.kat", "old.kat", 0, kNone, k13},
    {"bad line, folder not writable", "bad.kat", "locked/old.kat", kNone, kNone, k13},
#if !defined(__SANITIZE_ADDRESS__)  // AddressSanitizer reserves terabytes of address space.
    {"memory far below the catalogue's size", "big.kat", "old.kat", kNone, rlim_t{8} << 20, "",
     kBigLines},
#endif
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.name);
    testing::TempFolder folder;
    const fs::path& at = folder.path();
    for (const char* name : {"velmora.kat", "unreadable.kat", "hidden/velmora.kat"}) {
      fs::create_directories((at / name).parent_path());
      testing::WriteBytes((at / name).string(), testing::ValidCatalogue(kLines, "\n"));
    }
    testing::WriteBytes(folder.File("bad.kat"), testing::ValidCatalogue(kLines, "\n") +
                                                    testing::CatalogLine("", "", "", "31.02.2020"));
    if (fault.records == kBigLines) {
      testing::WriteBytes(folder.File("big.kat"), testing::ValidCatalogue(kBigLines, "\n"));
    }
    for (const char* name : {"old.kat", "locked/old.kat"}) {
      fs::create_directories((at / name).parent_path());
      testing::WriteBytes((at / name).string(), std::string(70'001, 'o'));
    }
    // The child's user reaches everything but what each refusal case needs closed.
    for (const auto& item : fs::recursive_directory_iterator(at)) {
      fs::permissions(item.path(), fs::perms::all);
    }
    fs::permissions(at, fs::perms::all);
    fs::permissions(at / "locked", fs::perms(0555));
    fs::permissions(at / "unreadable.kat", fs::perms::none);
    fs::permissions(at / "hidden", fs::perms::none);
    const std::string source = folder.File(fault.source), dest = folder.File(fault.dest);
    const std::string before = fs::exists(dest) ? ReadBytes(dest) : "";
    const auto names = testing::FolderNames(at), locked = testing::FolderNames(at / "locked");

    const std::string notice = ConvertInChild(source, dest, fault.file_size, fault.more_memory);

    if (fault.notice.empty()) {
      EXPECT_EQ(notice, "Konvertieren erfolgreich abgeschlossen");
      EXPECT_EQ(testing::FirstDifference(ReadBytes(dest), testing::ExpectedRecords(fault.records)),
                "");
      continue;
    }
    EXPECT_TRUE(notice.starts_with("Fehler beim konvertieren: " +
                                   testing::WithPaths(fault.notice, source, dest)))
        << notice;
    EXPECT_TRUE((fs::exists(dest) ? ReadBytes(dest) : "") == before);
    EXPECT_EQ(testing::FolderNames(at), names);
    EXPECT_EQ(testing::FolderNames(at / "locked"), locked);
  }
}

// SIGKILL at moments across the writing: the destination is then the old catalogue or the new
// one, whole, never a mix.
TEST(Faults, AKilledConversionLeavesTheOldOrTheNewCatalogueWhole) {
  constexpr int kManyLines = 300'000;
  testing::TempFolder folder;
  const std::string source = folder.File("velmora.kat"), dest = folder.File("new.kat");
  testing::WriteBytes(source, testing::ValidCatalogue(kManyLines));
  const std::string new_records = testing::ExpectedRecords(kManyLines), old(1'000'003, 'o');
  const auto writing = [&] {
    for (const auto& item : fs::directory_iterator(folder.path())) {
      if (item.path().filename().string().starts_with(".tessaril-") && item.file_size() > 0) {
        return true;
      }
    }
    return false;
  };
  int killed_while_writing = 0;
  for (const auto delay : {0us, 300us, 1000us, 3000us, 10000us, 20000us, 40000us}) {
    testing::WriteBytes(dest, old);
    const pid_t child = ::fork();
    if (child == 0) {
      testing::RecordingNotices notices;
      ConvertCatalog(source, dest, notices);
      ::_exit(0);
    }
    const auto give_up = std::chrono::steady_clock::now() + 20s;
    int status = 0;
    while (!writing() && ::waitpid(child, &status, WNOHANG) == 0 &&
           std::chrono::steady_clock::now() < give_up) {
      std::this_thread::sleep_for(50us);
    }
    std::this_thread::sleep_for(delay);
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    const std::string after = ReadBytes(dest);
    EXPECT_TRUE(after == old || after == new_records) << "a mix of " << after.size() << " bytes";
    for (const auto& item : fs::directory_iterator(folder.path())) {
      if (item.path().filename().string().starts_with(".tessaril-")) {
        killed_while_writing += WIFSIGNALED(status) ? 1 : 0;
        fs::remove(item.path());
      }
    }
  }
  EXPECT_GT(killed_while_writing, 0) << "no kill landed while the records were written";
}

// The system errors no real file in these tests can be made to give.
TEST(Faults, SystemErrorsMapToTheirCodesAndNameThePath) {
  const std::pair<int, const char*> cases[] = {
      {EPERM, "70 Zugriff verweigert"},
      {EISDIR, "75 Fehler beim Zugriff auf Pfad/Datei"},
      {EROFS, "75 Fehler beim Zugriff auf Pfad/Datei"},
      {ENXIO, "75 Fehler beim Zugriff auf Pfad/Datei"},
      {ENOSPC, "61 Datenträger voll"},
      {EDQUOT, "61 Datenträger voll"},
      {ENOMEM, "7 Nicht genügend Speicher"},
      {EIO, "57 Geräte-E/A-Fehler"},
  };
  for (const auto& [error, expected] : cases) {
    const Failure failure = FailureFromErrno(error, "p");
    EXPECT_EQ(std::to_string(static_cast<int>(failure.code)) + " " + failure.description,
              std::string(expected) + ": „p“");
  }
}

}  // namespace
}  // namespace tessaril
