#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "catalog/convert_catalog.h"
#include "catalog/record_writer.h"
#include "platform/atomic_output_file.h"
#include "platform/posix/background_flush.h"
#include "platform/posix/errno_failure.h"
#include "tests/support/test_support.h"

namespace tessaril {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::ValidCatalogue;

constexpr int kFails = -1, kLines = 10'000;
constexpr rlim_t kNone = RLIM_INFINITY, kRecordBytes = kLines * kRecordSize;
const std::string k13 = "[13] Typen unverträglich in Zeile ",
                  k52 = "[52] Dateiname oder -nummer falsch: ", k53 = "[53] Datei nicht gefunden: ",
                  k70 = "[70] Zugriff verweigert: ",
                  k75 = "[75] Fehler beim Zugriff auf Pfad/Datei: ",
                  k76 = "[76] Pfad nicht gefunden: ";
// The box a path came from, and what the system told about it.
const std::string kOld = "alte Katalogdatei „<source>“", kNew = "neue Katalogdatei „<dest>“",
                  kFolder = " ist ein Ordner", kNotFile = " ist keine reguläre Datei",
                  kLinks = " führt über zu viele Verknüpfungen", kLong = " ist zu lang",
                  kGone = " liegt in einem fehlenden Ordner", kNul = " enthält ein Nullzeichen",
                  kUnderFile = " liegt in einer Datei statt in einem Ordner",
                  k61 = "[61] Datenträger voll: " + kNew +
                        " erreicht die höchste erlaubte Dateigröße";

struct Conversion {
  const char* name;
  std::string source_bytes;  // Written to "velmora.kat".
  std::string source, dest;  // In the folder unless absolute; empty stays empty.
  int records;               // The destination then holds the records of ValidCatalogue(records).
  std::string notice;        // After "Fehler beim konvertieren: ", with <source> and <dest>.
  rlim_t file_size = kNone, more_memory = kNone;  // Limits of the converting process.
};

// Every case meets the same folder: an old destination with its own permissions, a folder,
// a FIFO, a read-only file, links to a file, to nothing and in a loop, and what an ordinary
// user may not read or write.
void MakeFolder(const fs::path& at, const std::string& source_bytes) {
  testing::WriteBytes((at / "velmora.kat").string(), source_bytes);
  for (const char* name : {"old.kat", "read-only.kat", "real/old.kat", "locked/old.kat",
                           "unreadable.kat", "hidden/velmora.kat"}) {
    fs::create_directories((at / name).parent_path());
    testing::WriteBytes((at / name).string(), std::string(70'001, 'o'));
  }
  fs::create_directory(at / "Kataloge äö");
  ASSERT_EQ(::mkfifo((at / "fifo").c_str(), 0600), 0);
  fs::create_symlink("real/old.kat", at / "link.kat");
  fs::create_symlink(at / "link.kat", at / "chain.kat");
  fs::create_symlink("real/new.kat", at / "dangling.kat");
  // The longest chain of links followed is 40 long.
  fs::create_symlink("real/old.kat", at / "hop-1");
  for (int hop = 2; hop <= 41; ++hop) {
    fs::create_symlink("hop-" + std::to_string(hop - 1), at / ("hop-" + std::to_string(hop)));
  }
  fs::create_symlink("loop-b", at / "loop-a");
  fs::create_symlink("loop-a", at / "loop-b");
  // Root may read and write whatever the permissions say, so the folder goes to user 65534,
  // who then converts.
  if (::geteuid() == 0) {
    ASSERT_EQ(::lchown(at.c_str(), 65534, 65534), 0);
    for (const auto& item : fs::recursive_directory_iterator(at)) {
      ASSERT_EQ(::lchown(item.path().c_str(), 65534, 65534), 0);
    }
  }
  fs::permissions(at / "old.kat", fs::perms(0640));
  fs::permissions(at / "read-only.kat", fs::perms(0444));
  fs::permissions(at / "locked", fs::perms(0555));
  fs::permissions(at / "unreadable.kat", fs::perms::none);
  fs::permissions(at / "hidden", fs::perms::none);
}

// The child's own address space and what it may add to it.
rlim_t AddressSpaceAnd(rlim_t extra) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmSize:")) return std::stoull(line.substr(7)) * 1024 + extra;
  }
  return 0;
}

// Converts in a child that runs as the folder's owner under the given limits; gives back its
// one notice, opened by the icon's name.
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
      const auto open_files = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), {});
      };
      const auto files_before = open_files();
      testing::RecordingNotices notices;
      ConvertCatalog(source, dest, notices);
      text = open_files() != files_before ? "open files changed"
             : notices.seen.size() != 1   ? "not one notice"
             : notices.seen[0].icon == NoticeIcon::kCritical
                 ? "kritisch: " + notices.seen[0].text
                 : "Information: " + notices.seen[0].text;
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
  const auto locked_names = testing::FolderNames(at / "locked");

  const std::string notice = ConvertInChild(source, dest, run.file_size, run.more_memory);

  const bool failed = run.records == kFails;
  EXPECT_EQ(notice, failed ? "kritisch: Fehler beim konvertieren: " +
                                 testing::WithPaths(run.notice, source, dest)
                           : "Information: Konvertieren erfolgreich abgeschlossen");
  EXPECT_EQ(fs::is_symlink(dest, no_file), was_link);
  if (failed) {
    EXPECT_EQ(fs::is_regular_file(dest, no_file), existed);
    EXPECT_TRUE((existed ? testing::ReadBytes(dest) : "") == before);
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
  EXPECT_EQ(testing::FolderNames(at / "locked"), locked_names);
}

TEST(Conversions, ConvertWholeOrLeaveEverythingAsItWas) {
  const std::string three = ValidCatalogue(3);
  const std::string bad_line_5 =
      ValidCatalogue(4) + testing::CatalogLine("F", "", "1", "31.02.2020") + "\r\n" + three;
  const std::string many = ValidCatalogue(kLines, "\n"),
                    bad_last = many + testing::CatalogLine("", "", "", "31.02.2020");
  const std::string bad_5 = k13 + "5, Spalten 56 bis 65: „31.02.2020“",
                    bad_10001 = k13 + "10001, Spalten 56 bis 65: „31.02.2020“";
  const Conversion runs[] = {
    {"ten lines, CR LF", ValidCatalogue(10), "velmora.kat", "new.kat", 10, ""},
    {"CR", ValidCatalogue(10, "\r"), "velmora.kat", "new.kat", 10, ""},
    {"LF", ValidCatalogue(10, "\n"), "velmora.kat", "new.kat", 10, ""},
    {"last line without end", three.substr(0, three.size() - 2), "velmora.kat", "new.kat", 3, ""},
    {"over a longer one, keeping its mode", three, "velmora.kat", "old.kat", 3, ""},
    {"over its own source", ValidCatalogue(100), "velmora.kat", "velmora.kat", 100, ""},
    {"empty source", "", "velmora.kat", "old.kat", 0, ""},
    {"more than 32767 lines", ValidCatalogue(40'000, "\n"), "velmora.kat", "new.kat", 40'000, ""},
    {"umlauts and spaces", three, "velmora.kat", "Kataloge äö/neu ß €.kat", 3, ""},
    {"link chain", three, "velmora.kat", "chain.kat", 3, ""},
    {"40 links", three, "velmora.kat", "hop-40", 3, ""},
    {"41 links", three, "velmora.kat", "hop-41", kFails, k75 + kNew + kLinks},
    {"dangling link", three, "velmora.kat", "dangling.kat", 3, ""},
    {"missing source", three, "missing.kat", "new.kat", kFails, k53 + kOld},
    {"missing, old kept", three, "missing.kat", "old.kat", kFails, k53 + kOld},
    {"empty source path", three, "", "old.kat", kFails,
     k52 + "alte Katalogdatei „“ ist nicht angegeben"},
    {"source folder missing", three, "none/a.kat", "new.kat", kFails, k76 + kOld + kGone},
    {"source under a file", three, "velmora.kat/a", "new.kat", kFails, k76 + kOld + kUnderFile},
    {"source is a folder", three, "real", "new.kat", kFails, k75 + kOld + kFolder},
    {"source is a FIFO", three, "fifo", "new.kat", kFails, k75 + kOld + kNotFile},
    {"source is a device", three, "/dev/null", "old.kat", kFails, k75 + kOld + kNotFile},
    {"source name too long", three, std::string(300, 'n'), "new.kat", kFails, k52 + kOld + kLong},
    {"source not readable", three, "unreadable.kat", "old.kat", kFails, k70 + kOld},
    {"source folder closed", three, "hidden/velmora.kat", "old.kat", kFails, k70 + kOld},
    {"bad date on line 5", bad_line_5, "velmora.kat", "new.kat", kFails, bad_5},
    {"bad date, old kept", bad_line_5, "velmora.kat", "old.kat", kFails, bad_5},
    {"blank line 4", three + "\r\n" + three, "velmora.kat", "new.kat", kFails,
     k13 + "4, Spalten 56 bis 65: „“ (die Zeile ist leer)"},
    {"bad date, destination folder gone", bad_line_5, "velmora.kat", "none/a.kat", kFails, bad_5},
    {"bad last line, folder not writable", bad_last, "velmora.kat", "locked/old.kat", kFails,
     bad_10001},
    {"bad last line, disk full", bad_last, "velmora.kat", "old.kat", kFails, bad_10001, 0},
    {"destination folder gone", three, "velmora.kat", "none/a.kat", kFails, k76 + kNew + kGone},
    {"destination under a file", three, "velmora.kat", "velmora.kat/a", kFails,
     k76 + kNew + kUnderFile},
    {"destination is a folder", three, "velmora.kat", "real", kFails, k75 + kNew + kFolder},
    {"read-only", three, "velmora.kat", "read-only.kat", kFails,
     k75 + kNew + " ist schreibgeschützt"},
    {"destination folder not writable", three, "velmora.kat", "locked/old.kat", kFails, k70 + kNew},
    {"destination is a device", three, "velmora.kat", "/dev/null", kFails, k75 + kNew + kNotFile},
    {"destination is a FIFO", three, "velmora.kat", "fifo", kFails, k75 + kNew + kNotFile},
    {"link loop", three, "velmora.kat", "loop-a", kFails, k75 + kNew + kLinks},
    {"destination name too long", three, "velmora.kat", std::string(300, 'n'), kFails,
     k52 + kNew + kLong},
    {"NUL in the source path", three, std::string("velmora.kat\0x", 13), "new.kat", kFails,
     k52 + kOld + kNul},
    {"NUL in the destination path", three, "velmora.kat", std::string("new.kat\0x", 9), kFails,
     k52 + kNew + kNul},
    {"empty destination path", three, "velmora.kat", "", kFails,
     k52 + "neue Katalogdatei „“ ist nicht angegeben"},
    // A full disk at each stage of the writing.
    {"disk full at the first record", many, "velmora.kat", "old.kat", kFails, k61, 0},
    {"inside the first record", many, "velmora.kat", "old.kat", kFails, k61, 31},
    {"between two writes", many, "velmora.kat", "old.kat", kFails, k61, kRecordBytes / 2 + 17},
    {"at the last byte", many, "velmora.kat", "old.kat", kFails, k61, kRecordBytes - 1},
    {"at the last byte, a new file", many, "velmora.kat", "new.kat", kFails, k61, kRecordBytes - 1},
    {"full over its own source", many, "velmora.kat", "velmora.kat", kFails, k61, kRecordBytes / 2},
    {"room for exactly the records", many, "velmora.kat", "old.kat", kLines, "", kRecordBytes},
#if !defined(__SANITIZE_ADDRESS__)  // AddressSanitizer reserves terabytes of address space.
    {"memory far below the catalogue's size", ValidCatalogue(600'000, "\n"), "velmora.kat",
     "old.kat", 600'000, "", kNone, rlim_t{8} << 20},
#endif
  };
  for (const Conversion& run : runs) Check(run);
}

// SIGKILL at moments across the writing: the destination is then the old catalogue or the new
// one, whole, never a mix.
TEST(Conversions, AKilledConversionLeavesTheOldOrTheNewCatalogueWhole) {
  constexpr int kManyLines = 300'000;
  testing::TempFolder folder;
  const std::string source = folder.File("velmora.kat"), dest = folder.File("new.kat");
  testing::WriteBytes(source, ValidCatalogue(kManyLines));
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
    const std::string after = testing::ReadBytes(dest);
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

// A flush that fails while the records are written is reported at the end, not lost: a pipe
// cannot be flushed.
TEST(Conversions, AFailedBackgroundFlushIsKept) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  BackgroundFlush flush(fds[1]);
  flush.Written(std::uint64_t{8} << 20);
  EXPECT_EQ(flush.Finish(), EINVAL);
  ::close(fds[0]);
  ::close(fds[1]);
}

// The system errors no real file in these tests can be made to give.
TEST(Conversions, SystemErrorsMapToTheirCodesAndNameThePath) {
  const std::pair<std::vector<int>, const char*> cases[] = {
      {{EPERM}, "70 Zugriff verweigert: „p“"},
      {{EINVAL, EILSEQ}, "52 Dateiname oder -nummer falsch: „p“"},
      {{EISDIR}, "75 Fehler beim Zugriff auf Pfad/Datei: „p“ ist ein Ordner"},
      {{EROFS},
       "75 Fehler beim Zugriff auf Pfad/Datei: „p“ liegt auf einem schreibgeschützten Datenträger"},
      {{ENXIO, ENODEV}, "75 Fehler beim Zugriff auf Pfad/Datei: „p“ ist keine reguläre Datei"},
      {{ETXTBSY, EBUSY}, "75 Fehler beim Zugriff auf Pfad/Datei: „p“"},
      {{ENOSPC, EDQUOT}, "61 Datenträger voll: „p“"},
      {{ENOMEM}, "7 Nicht genügend Speicher: „p“"},
      {{EIO}, "57 Geräte-E/A-Fehler: „p“"},
  };
  for (const auto& [errors, expected] : cases) {
    for (const int error : errors) {
      const Failure failure = FailureFromErrno(error, "p");
      EXPECT_EQ(std::to_string(static_cast<int>(failure.code)) + " " + failure.description,
                expected);
    }
  }
  // Only a failure that names a path gets the name of a box.
  const Failure line{FailureCode::kTypeMismatch, k13.substr(5) + "1, Spalten 56 bis 65: „x“"};
  EXPECT_EQ(InBox(line, "alte Katalogdatei").description, line.description);
}

}  // namespace
}  // namespace tessaril
