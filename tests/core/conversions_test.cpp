#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/fs.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/code_page.h"
#include "catalog/convert_catalog.h"
#include "catalog/record_writer.h"
#include "platform/atomic_output_file.h"
#include "tests/support/test_support.h"

namespace tessaril {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::ValidCatalogue;

constexpr int kFails = -1, kLines = 10'000;
constexpr rlim_t kNone = RLIM_INFINITY, kRecordBytes = kLines * kRecordSize;
// Stands for a catalogue of 600'000 lines, made only in the rows that convert it.
const std::string kHuge = "<huge>";
const std::string k13 = "[13] Typen unverträglich in Zeile ",
                  k52 = "[52] Dateiname oder -nummer falsch: ", k53 = "[53] Datei nicht gefunden: ",
                  k70 = "[70] Zugriff verweigert: ",
                  k75 = "[75] Fehler beim Zugriff auf Pfad/Datei: ",
                  k76 = "[76] Pfad nicht gefunden: ";
// The box a path came from, and what the system told about it.
const std::string kOld = "alte Katalogdatei „<source>“", kNew = "neue Katalogdatei „<dest>“",
                  kFolder = " ist ein Ordner", kNotFile = " ist keine reguläre Datei",
                  kSystem = " gehört zum System (/proc, /sys) und ist keine Katalogdatei",
                  kLinks = " führt über zu viele Verknüpfungen", kLong = " ist zu lang",
                  kGone = " liegt in einem fehlenden Ordner", kNul = " enthält ein Nullzeichen",
                  kUnderFile = " liegt in einer Datei statt in einem Ordner",
                  k57 = "[57] Geräte-E/A-Fehler: " + kNew,
                  k61 = "[61] Datenträger voll: " + kNew +
                        " erreicht die höchste erlaubte Dateigröße";

// A system call that fails in the converting process as a fault of the system would make it:
// every call, or those whose flags (argument `flags_at`, from 0) hold all of `flags`.
struct Fault {
  long call = -1;
  int error = 0;
  unsigned flags = 0;
  unsigned flags_at = 2;
};
const Fault kNoUnnamedFiles{__NR_openat, EOPNOTSUPP, O_TMPFILE & ~O_DIRECTORY},
    kSourceUnreadable{__NR_read, EIO}, kAttributesUnlisted{__NR_listxattr, EIO},
    kAttributeUnreadable{__NR_getxattr, EIO}, kAttributeRefused{__NR_fsetxattr, EIO},
    kAttributeUnsupported{__NR_fsetxattr, ENOTSUP}, kModeRefused{__NR_fchmod, EPERM},
    kFlushFails{__NR_fsync, EIO}, kNamingFails{__NR_linkat, EIO}, kRenameFails{__NR_renameat, EIO},
    kLinkUnreadable{__NR_readlinkat, EACCES}, kRenameBusy{__NR_renameat, EBUSY},
    kNoDescriptorLinks{__NR_linkat, ENOENT, AT_EMPTY_PATH, 4},
    kSourceNoMemory{__NR_openat, ENOMEM, O_NOCTTY},
    kSourceNameRefused{__NR_openat, EINVAL, O_NOCTTY}, kSourceNoFile{__NR_openat, ENXIO, O_NOCTTY},
    kFlushDiskFull{__NR_fsync, ENOSPC}, kReadOnlyVolume{__NR_openat, EROFS, O_WRONLY};

bool Inject(const Fault& fault) {
  sock_filter program[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(fault.call), 0, 4),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS,
               static_cast<std::uint32_t>(offsetof(seccomp_data, args) + 8 * fault.flags_at)),
      BPF_STMT(BPF_ALU | BPF_AND | BPF_K, fault.flags),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, fault.flags, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | static_cast<std::uint32_t>(fault.error)),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  const sock_fprog filter{std::size(program), program};
  return fault.call < 0 || (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
                            ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0);
}

// The names of the symbolic links in `folder`.
std::vector<std::string> Links(const fs::path& folder) {
  std::vector<std::string> links;
  for (const std::string& name : testing::FolderNames(folder)) {
    if (fs::is_symlink(folder / name)) links.push_back(name);
  }
  return links;
}

// Every extended attribute of a file, ACLs among them.
std::map<std::string, std::string> Attributes(const std::string& path) {
  std::map<std::string, std::string> attributes;
  char names[4096], value[4096];
  const ssize_t size = ::listxattr(path.c_str(), names, sizeof names);
  for (const char* name = names; name < names + std::max<ssize_t>(size, 0);
       name += std::strlen(name) + 1) {
    const ssize_t value_size = ::getxattr(path.c_str(), name, value, sizeof value);
    attributes[name] =
        std::string(value, static_cast<std::size_t>(std::max<ssize_t>(value_size, 0)));
  }
  return attributes;
}

// What a conversion meets beside the folder: the source it reads, the limits of the converting
// process and a fault of the system, and what that process does first, as root where the tests
// run as root: the system as some users have it.
struct Setting {
  std::string source_bytes = ValidCatalogue(3);  // Written to "velmora.kat".
  std::string source = "velmora.kat";            // In the folder unless absolute.
  rlim_t file_size = kNone, more_memory = kNone;
  Fault fault = {};
  void (*prepare)(const fs::path& at) = nullptr;
};

struct Conversion {
  const char* name;    // Of the row, as ctest lists it.
  std::string dest;    // In the folder unless absolute; empty stays empty.
  int records;         // The destination then holds the records of ValidCatalogue(records).
  std::string notice;  // After "Fehler beim konvertieren: ", with <source>, <dest>, <folder>.
  Setting with = {};
};
// Failures and the listing name the row, not its bytes.
void PrintTo(const Conversion& run, std::ostream* out) { *out << run.name; }

// A folder deeper than the longest path the system takes, reached through a short link, "deep";
// made after the folder went to the user who converts, so that all may write in it.
const fs::path kDeepHalf = [] {
  fs::path half;
  for (int i = 0; i < 12; ++i) half /= std::string(200, 'd');
  return half;
}();
const std::string kDeepFile = "deep/" + kDeepHalf.string() + "/old.kat";

void MakeDeepFolder(const fs::path& at) {
  fs::create_directories(at / kDeepHalf);
  fs::create_symlink(kDeepHalf, at / "deep");
  fs::create_directories(at / "deep" / kDeepHalf);
  testing::WriteBytes((at / kDeepFile).string(), "deep");
  fs::permissions(at / "deep" / kDeepHalf, fs::perms::all);
  fs::permissions(at / kDeepFile, fs::perms(0666));
}

// Short enough again for the folder to be removed.
void ShortenDeepFolder(const fs::path& at) {
  fs::rename(at / "deep" / *kDeepHalf.begin(), at / "deeper");
}

// Sets or clears the append-only attribute of a file or folder (chattr +a); 0, or the errno.
int SetAppendOnly(const fs::path& path, bool append_only) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  int flags = 0;
  const bool set = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                   (flags = append_only ? flags | FS_APPEND_FL : flags & ~FS_APPEND_FL,
                    ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
  const int error = set ? 0 : errno;
  if (fd >= 0) ::close(fd);
  return error;
}

// Every case meets the same folder: an old destination with its own permissions, a folder,
// a FIFO, a read-only file, links to a file, to nothing and too many, and what an ordinary
// user may not read or write.
void MakeFolder(const fs::path& at, const std::string& source_bytes) {
  testing::WriteBytes((at / "velmora.kat").string(), source_bytes);
  for (const char* name : {"old.kat", "read-only.kat", "real/old.kat", "locked/old.kat",
                           "unreadable.kat", "shared.kat", "unlisted/old.kat", "group-writable.kat",
                           "appending/old.kat", "append-only.kat"}) {
    fs::create_directories((at / name).parent_path());
    testing::WriteBytes((at / name).string(), std::string(70'001, 'o'));
  }
  fs::create_directory(at / "Kataloge äö");
  ASSERT_EQ(::mkfifo((at / "fifo").c_str(), 0600), 0);
  fs::create_symlink("real/new.kat", at / "dangling.kat");
  fs::create_symlink("dangling.kat", at / "chained.kat");
  fs::create_symlink("none/new.kat", at / "astray.kat");
  // The longest chain of links followed is 40 long.
  fs::create_symlink("real/old.kat", at / "hop-1");
  for (int hop = 2; hop <= 41; ++hop)
    fs::create_symlink("hop-" + std::to_string(hop - 1), at / ("hop-" + std::to_string(hop)));
  // Root may read and write whatever the permissions say, so the folder goes to user 65534,
  // who then converts.
  if (::geteuid() == 0) {
    ASSERT_EQ(::lchown(at.c_str(), 65534, 65534), 0);
    for (const auto& item : fs::recursive_directory_iterator(at))
      ASSERT_EQ(::lchown(item.path().c_str(), 65534, 65534), 0);
  }
  fs::permissions(at / "old.kat", fs::perms(0640));
  fs::permissions(at / "read-only.kat", fs::perms(0555));  // As copied from a CD, say.
  fs::permissions(at / "group-writable.kat", fs::perms(0464));
  fs::permissions(at / "locked", fs::perms(0555));
  fs::permissions(at / "unreadable.kat", fs::perms::none);
  fs::permissions(at / "unlisted", fs::perms(0333));
  // Another user's file, alone and in a shared folder of root's, where only a file's owner may
  // replace it, though all may write it; and a folder where files may only be added.
  if (::geteuid() == 0) {
    for (const char* name : {"foreign.kat", "sticky/foreign.kat"}) {
      fs::create_directories((at / name).parent_path());
      testing::WriteBytes((at / name).string(), "f");
      ASSERT_EQ(::chown((at / name).c_str(), 65533, 65533), 0);
    }
    fs::permissions(at / "sticky/foreign.kat", fs::perms(0666));
    ASSERT_EQ(::chown((at / "sticky").c_str(), 0, 0), 0);
    fs::permissions(at / "sticky", fs::perms(01777));
    ASSERT_EQ(SetAppendOnly(at / "appending", true), 0);
    ASSERT_EQ(SetAppendOnly(at / "append-only.kat", true), 0);
  }
  // An ACL that lets user 65533 write, and a note of the owner's; where the filesystem has them.
  const std::string acl(
      "\x02\0\0\0\x01\0\x06\0\xff\xff\xff\xff\x02\0\x06\0\xfd\xff\0\0\x04\0\x04\0\xff\xff\xff\xff"
      "\x10\0\x06\0\xff\xff\xff\xff\x20\0\0\0\xff\xff\xff\xff",
      44);
  const std::string shared = (at / "shared.kat").string();
  for (const auto& [name, value] :
       {std::pair<const char*, std::string>{"system.posix_acl_access", acl},
        {"user.herkunft", "Lager 3"}}) {
    if (::setxattr(shared.c_str(), name, value.data(), value.size(), 0) != 0) {
      ASSERT_EQ(errno, ENOTSUP) << name;
    }
  }
  MakeDeepFolder(at);
}

// The child's own address space and what it may add to it.
rlim_t AddressSpaceAnd(rlim_t extra) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmSize:")) return std::stoull(line.substr(7)) * 1024 + extra;
  }
  return 0;
}

// The system as some users have it, made in the converting process: no /proc, as in a small
// container; a deleted file that /proc/self/fd/99 still reaches; another file mounted over
// old.kat; and no descriptor left to open a file with.
void WithoutProc(const fs::path&) {
  ::unshare(CLONE_NEWNS);
  ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
  ::umount2("/proc", MNT_DETACH);
}
void HoldDeletedFile(const fs::path& at) {
  const int fd = ::open((at / "gone.kat").c_str(), O_WRONLY | O_CREAT, 0644);
  ::unlink((at / "gone.kat").c_str());
  ::dup2(fd, 99);
  ::close(fd);
}
void MountOverOld(const fs::path& at) {
  WithoutProc(at);
  ::mount((at / "velmora.kat").c_str(), (at / "old.kat").c_str(), nullptr, MS_BIND, nullptr);
}
[[maybe_unused]] void NoFreeDescriptor(const fs::path&) {
  const int next = ::dup(0);
  ::close(next);
  const rlimit limit{static_cast<rlim_t>(next), static_cast<rlim_t>(next)};
  ::setrlimit(RLIMIT_NOFILE, &limit);
}

// Converts in a child that runs as the folder's owner under the run's limits and fault; gives
// back its one notice, opened by the icon's name.
std::string ConvertInChild(const fs::path& at, const std::string& source, const std::string& dest,
                           const Conversion& run) {
  int fds[2];
  if (::pipe(fds) != 0) return "no pipe";
  if (::fork() == 0) {
    ::alarm(60);
    if (run.with.prepare != nullptr) run.with.prepare(at);
    IgnoreFileSizeSignal();  // As the program does at start: the write then fails with EFBIG.
    const rlimit size_limit{run.with.file_size, run.with.file_size};
    const rlim_t memory =
        run.with.more_memory == kNone ? kNone : AddressSpaceAnd(run.with.more_memory);
    const rlimit memory_limit{memory, memory};
    std::string text = "could not become the user";
    if ((::geteuid() != 0 ||
         (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0)) &&
        ::setrlimit(RLIMIT_FSIZE, &size_limit) == 0 && ::setrlimit(RLIMIT_AS, &memory_limit) == 0 &&
        Inject(run.with.fault)) {
      // Open files, each a name in /proc/self/fd, where /proc is and a folder may be opened.
      const auto open_files = [] {
        std::error_code error;
        return std::distance(fs::directory_iterator("/proc/self/fd", error), {});
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
  testing::TempFolder folder;
  const fs::path& at = folder.path();
  MakeFolder(
      at, run.with.source_bytes == kHuge ? ValidCatalogue(600'000, "\n") : run.with.source_bytes);
  const auto resolve = [&](const std::string& name) {
    return name.empty() || name.starts_with('/') ? name : (at / name).string();
  };
  const std::string source = resolve(run.with.source), dest = resolve(run.dest);
  std::error_code no_file;  // The destination may be no file at all, or a loop of links.
  const bool was_link = fs::is_symlink(dest, no_file), existed = fs::is_regular_file(dest, no_file);
  const std::string before = existed ? testing::ReadBytes(dest) : "";
  const fs::perms mode = fs::status(dest, no_file).permissions();
  const auto attributes = Attributes(dest);
  auto names = testing::FolderNames(at), real_names = testing::FolderNames(at / "real");
  const auto links = Links(at);

  const std::string notice = ConvertInChild(at, source, dest, run);

  const bool failed = run.records == kFails;
  EXPECT_EQ(notice, failed ? "kritisch: Fehler beim konvertieren: " +
                                 testing::WithPaths(run.notice, source, dest, at.string())
                           : "Information: Konvertieren erfolgreich abgeschlossen");
  EXPECT_EQ(Links(at), links) << "every link stays one";
  if (failed) {
    EXPECT_EQ(fs::is_regular_file(dest, no_file), existed);
    EXPECT_TRUE((existed ? testing::ReadBytes(dest) : "") == before);
  } else {
    EXPECT_TRUE(testing::ReadBytes(dest) == testing::ExpectedRecords(run.records));
    // A new file has the usual permissions, as any program creates it.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(fs::status(dest).permissions(), existed ? mode : fs::perms(0666 & ~mask));
    if (existed && run.with.fault.call != __NR_fsetxattr) {
      EXPECT_EQ(Attributes(dest), attributes);
    }
    if (!existed && !was_link && run.dest.find('/') == std::string::npos) names.push_back(run.dest);
    // The links to nothing lead there.
    if (!existed && was_link) real_names = {"new.kat", "old.kat"};
    std::sort(names.begin(), names.end());
  }
  EXPECT_EQ(testing::FolderNames(at), names) << "only the destination may change";
  EXPECT_EQ(testing::FolderNames(at / "real"), real_names);
  ShortenDeepFolder(at);
  if (::geteuid() == 0) {
    EXPECT_EQ(SetAppendOnly(at / "appending", false), 0);
    EXPECT_EQ(SetAppendOnly(at / "append-only.kat", false), 0);
  }
}

// The rows, built once per test program.
std::vector<Conversion> Conversions() {
  const std::string three = ValidCatalogue(3);
  const std::string bad_line_5 =
      ValidCatalogue(4) + testing::CatalogLine("F", "", "1", "31.02.2020") + "\r\n" + three;
  const std::string many = ValidCatalogue(kLines, "\n"),
                    bad_last = many + testing::CatalogLine("", "", "", "31.02.2020");
  const std::string bad_5 = k13 + "5, Spalten 56 bis 65: „31.02.2020“",
                    bad_10001 = k13 + "10001, Spalten 56 bis 65: „31.02.2020“";
  // 40 lines, those numbered in `bad` without a date.
  const auto with_bad_lines = [](std::initializer_list<int> bad) {
    std::string text;
    for (int i = 1; i <= 40; ++i) {
      const bool good = std::find(bad.begin(), bad.end(), i) == bad.end();
      text += good ? testing::CatalogLine("A", "", "", "1.1.2000") : "";
      text += "\r\n";
    }
    return text;
  };
  // A row a line, as far as its width allows.
  // clang-format off
  const Conversion runs[] = {
    {"OverALongerOneKeepingItsMode", "old.kat", 3, ""},
    {"OverItsOwnSource", "velmora.kat", 100, "", {.source_bytes = ValidCatalogue(100)}},
    {"EmptySource", "old.kat", 0, "", {.source_bytes = ""}},
    {"MoreThan32767Lines", "new.kat", 40'000, "", {.source_bytes = ValidCatalogue(40'000, "\n")}},
    {"UmlautsAndSpaces", "Kataloge äö/neu ß €.kat", 3, ""},
    {"40Links", "hop-40", 3, ""},
    {"41Links", "hop-41", kFails, k75 + kNew + kLinks},
    {"DanglingLink", "dangling.kat", 3, ""},
    {"MissingSource", "new.kat", kFails, k53 + kOld, {.source = "missing.kat"}},
    {"EmptySourcePath", "old.kat", kFails, k52 + "alte Katalogdatei „“ ist nicht angegeben",
     {.source = ""}},
    {"SourceFolderMissing", "new.kat", kFails, k76 + kOld + kGone, {.source = "none/a.kat"}},
    {"SourceIsAFolder", "new.kat", kFails, k75 + kOld + kFolder, {.source = "real"}},
    {"SourceIsAFIFO", "new.kat", kFails, k75 + kOld + kNotFile, {.source = "fifo"}},
    {"SourceNotReadable", "old.kat", kFails, k70 + kOld, {.source = "unreadable.kat"}},
    {"BadDateOldKept", "old.kat", kFails, bad_5, {.source_bytes = bad_line_5}},
    {"BlankLine4", "new.kat", kFails, k13 + "4, Spalten 56 bis 65: „“ (die Zeile ist leer)",
     {.source_bytes = three + "\r\n" + three}},
    {"EveryBadLineAtOnce", "old.kat", kFails,
     k13 + "3, Spalten 56 bis 65: „“ (die Zeile ist leer); ebenso in 2 weiteren Zeilen: 8, 40",
     {.source_bytes = with_bad_lines({3, 8, 40})}},
    {"TheFirstTenOfManyBadLines", "old.kat", kFails,
     k13 + "2, Spalten 56 bis 65: „“ (die Zeile ist leer); ebenso in 11 weiteren Zeilen, "
           "darunter 4, 5, 6, 7, 8, 9, 10, 11, 12, 13",
     {.source_bytes = with_bad_lines({2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 39})}},
    {"OneMoreBadLine", "old.kat", kFails,
     k13 + "1, Spalten 56 bis 65: „“ (die Zeile ist leer); ebenso in einer weiteren Zeile: 40",
     {.source_bytes = with_bad_lines({1, 40})}},
    // Lines saved again as UTF-8, after its byte-order mark, beside Windows-1252 ones; the
    // end-of-file byte of older programs.
    {"LinesSavedAgainAsUtf8", "old.kat", 3, "",
     {.source_bytes = "\xEF\xBB\xBF" + Cp1252ToUtf8(ValidCatalogue(2)) +
                      three.substr(ValidCatalogue(2).size())}},
    {"EndOfFileByte", "old.kat", 3, "", {.source_bytes = three + "\x1A"}},
    {"BadLastLineFolderNotWritable", "locked/old.kat", kFails, bad_10001,
     {.source_bytes = bad_last}},
    {"BadLastLineDiskFull", "old.kat", kFails, bad_10001,
     {.source_bytes = bad_last, .file_size = 0}},
    {"DestinationFolderGone", "none/a.kat", kFails, k76 + kNew + kGone},
    {"DestinationUnderAFile", "velmora.kat/a", kFails, k76 + kNew + kUnderFile},
    {"DestinationIsAFolder", "real", kFails, k75 + kNew + kFolder},
    {"ReadOnly", "read-only.kat", kFails, k75 + kNew + " ist schreibgeschützt"},
    // Folders that refuse the replacement say why before any record is written, which the limit
    // on the file size would stop.
    {"DestinationFolderNotWritable", "locked/old.kat", kFails,
     k70 + kNew + " liegt im Ordner „<folder>/locked“, der keine neuen Dateien erlaubt",
     {.file_size = 0}},
    {"AnotherUsersFileInASharedFolder", "sticky/foreign.kat", kFails,
     k70 + kNew + " liegt im Ordner „<folder>/sticky“, der nur ihrem Besitzer erlaubt, sie zu "
                  "ersetzen",
     {.file_size = 0}},
    {"AppendOnlyFolder", "appending/old.kat", kFails,
     k70 + kNew + " liegt im Ordner „<folder>/appending“, der nur das Anfügen erlaubt",
     {.file_size = 0}},
    // Files no rename can replace, refused likewise.
    {"DescriptorOfADeletedFile", "/proc/self/fd/99", kFails,
     k75 + kNew + " verweist auf eine gelöschte Datei",
     {.file_size = 0, .prepare = HoldDeletedFile}},
    {"BindMountedFile", "old.kat", kFails,
     k75 + kNew + " ist ein Einhängepunkt und lässt sich nicht ersetzen",
     {.file_size = 0, .prepare = MountOverOld}},
    {"SystemFile", "/proc/self/comm", kFails, k75 + kNew + kSystem, {.file_size = 0}},
    {"NewFileAmongTheSystems", "/proc/self/new.kat", kFails, k75 + kNew + kSystem,
     {.file_size = 0}},
    {"AppendOnlyFile", "append-only.kat", kFails,
     k75 + kNew + " ist gegen Änderungen geschützt (chattr)", {.file_size = 0}},
    {"SystemFileAsSource", "new.kat", kFails, k75 + kOld + kSystem,
     {.source = "/proc/self/status"}},
    // Links that lead to a file not there yet and into a missing folder, and a real path longer
    // than the system takes, reached by a short one.
    {"ChainOfLinksToNothing", "chained.kat", 3, ""},
    {"LinkIntoAMissingFolder", "astray.kat", kFails,
     k76 + kNew + " verweist in den fehlenden Ordner „<folder>/none“"},
    {"DeeperThanAnyPath", kDeepFile, 3, ""},
    // The system as some users have it.
    {"WithoutProc", "shared.kat", 3, "", {.prepare = WithoutProc}},
    {"WithoutProcNorDescriptorLinks", "shared.kat", 3, "",
     {.fault = kNoDescriptorLinks, .prepare = WithoutProc}},
    {"PathOfNoUtf8", "new.kat", kFails, k53 + "alte Katalogdatei „<folder>/nope\uFFFD.kat“",
     {.source = "nope\xFF.kat"}},
    {"DestinationWritableByItsGroupOnly", "group-writable.kat", kFails, k70 + kNew},
    {"DestinationIsADevice", "/dev/null", kFails, k75 + kNew + kNotFile},
    {"DestinationNameTooLong", std::string(300, 'n'), kFails, k52 + kNew + kLong},
    {"NULInTheDestinationPath", std::string("new.kat\0x", 9), kFails, k52 + kNew + kNul},
    {"EmptyDestinationPath", "", kFails, k52 + "neue Katalogdatei „“ ist nicht angegeben"},
    {"DestinationEndingInASlash", "new.kat/", kFails, k52 + kNew + " nennt keinen Dateinamen"},
    {"DestinationEndingInADot", "none/.", kFails, k52 + kNew + " nennt keinen Dateinamen"},
    // A full disk at each stage of the writing.
    {"DiskFullAtTheFirstRecord", "old.kat", kFails, k61, {.source_bytes = many, .file_size = 0}},
    {"BetweenTwoWrites", "old.kat", kFails, k61,
     {.source_bytes = many, .file_size = kRecordBytes / 2 + 17}},
    {"AtTheLastByte", "old.kat", kFails, k61,
     {.source_bytes = many, .file_size = kRecordBytes - 1}},
    {"FullOverItsOwnSource", "velmora.kat", kFails, k61,
     {.source_bytes = many, .file_size = kRecordBytes / 2}},
    {"RoomForExactlyTheRecords", "old.kat", kLines, "",
     {.source_bytes = many, .file_size = kRecordBytes}},
    {"KeepingItsACLAndAttributes", "shared.kat", 3, ""},
    {"AnotherUsersFile", "foreign.kat", kFails, k70 + kNew},
    {"FolderNotListable", "unlisted/old.kat", kFails,
     k70 + kNew + " liegt im Ordner „<folder>/unlisted“, der sich nicht lesen lässt"},
    // Faults of the system at each step of the replacing.
    {"NoUnnamedFiles", "shared.kat", 3, "", {.fault = kNoUnnamedFiles}},
    {"NoUnnamedFilesDiskFull", "old.kat", kFails, k61,
     {.source_bytes = many, .file_size = 31, .fault = kNoUnnamedFiles}},
    {"SourceUnreadable", "old.kat", kFails, "[57] Geräte-E/A-Fehler: " + kOld,
     {.fault = kSourceUnreadable}},
    {"LinkUnreadable", "dangling.kat", kFails, k70 + kNew, {.fault = kLinkUnreadable}},
    {"AttributesUnlisted", "shared.kat", kFails, k57, {.fault = kAttributesUnlisted}},
    {"AttributeUnreadable", "shared.kat", kFails, k57, {.fault = kAttributeUnreadable}},
    {"AttributeRefused", "shared.kat", kFails, k57, {.fault = kAttributeRefused}},
    {"AttributeUnsupported", "shared.kat", 3, "", {.fault = kAttributeUnsupported}},
    {"PermissionsRefused", "old.kat", kFails, k70 + kNew, {.fault = kModeRefused}},
    {"FlushFails", "old.kat", kFails, k57, {.fault = kFlushFails}},
    {"NamingFails", "old.kat", kFails, k57, {.fault = kNamingFails}},
    {"RenameFails", "old.kat", kFails, k57, {.fault = kRenameFails}},
    {"SourceOutOfMemory", "new.kat", kFails, "[7] Nicht genügend Speicher: " + kOld,
     {.fault = kSourceNoMemory}},
    {"SourceNameRefused", "new.kat", kFails, k52 + kOld, {.fault = kSourceNameRefused}},
    {"SourceOpensAsNoFile", "new.kat", kFails, k75 + kOld + kNotFile, {.fault = kSourceNoFile}},
    {"ReadOnlyVolume", "new.kat", kFails,
     k75 + kNew + " liegt auf einem schreibgeschützten Datenträger", {.fault = kReadOnlyVolume}},
    {"DiskFullAtTheFlush", "old.kat", kFails, "[61] Datenträger voll: " + kNew,
     {.fault = kFlushDiskFull}},
    {"DestinationBusy", "old.kat", kFails, k75 + kNew, {.fault = kRenameBusy}},
    #if !defined(__SANITIZE_ADDRESS__)
    // The sanitizers' runtime needs descriptors of its own, and reserves terabytes of addresses.
    {"TooManyOpenFiles", "new.kat", kFails,
     "[67] Zu viele Dateien: " + kOld + " lässt sich nicht öffnen, da zu viele Dateien offen sind",
     {.prepare = NoFreeDescriptor}},
    {"MemoryFarBelowTheCataloguesSize", "old.kat", 600'000, "",
     {.source_bytes = kHuge, .more_memory = rlim_t{8} << 20}},
    #endif
  };
  // clang-format on
  return {std::begin(runs), std::end(runs)};
}

class ConvertWholeOrLeaveEverythingAsItWas : public ::testing::TestWithParam<Conversion> {};

TEST_P(ConvertWholeOrLeaveEverythingAsItWas, OnRealFiles) {
  const Conversion& run = GetParam();
  // Another user's file, attributes and mounts need root.
  if (::geteuid() != 0 && (run.dest.ends_with("foreign.kat") || run.dest.starts_with("append") ||
                           run.with.prepare == WithoutProc || run.with.prepare == MountOverOld)) {
    GTEST_SKIP() << "needs root, to act as another user";
  }
  Check(run);
}

INSTANTIATE_TEST_SUITE_P(Conversions, ConvertWholeOrLeaveEverythingAsItWas,
                         ::testing::ValuesIn(Conversions()),
                         [](const auto& row) { return std::string(row.param.name); });

// SIGKILL at moments across the writing: the destination is then the old catalogue or the new
// one, whole, never a mix, and nothing is left beside it where the filesystem has unnamed files;
// where it has none, the new file's hidden name may be. The replacement of a 0600 destination
// is never readable by others.
TEST(Conversions, AKilledConversionLeavesTheOldOrTheNewCatalogueWhole) {
  constexpr int kManyLines = 300'000;
  testing::TempFolder folder;
  const std::string source = folder.File("velmora.kat"), dest = folder.File("new.kat");
  testing::WriteBytes(source, ValidCatalogue(kManyLines));
  const std::string new_records = testing::ExpectedRecords(kManyLines), old(1'000'003, 'o');
  // The file the child writes beside the destination, found through its descriptors, as it may
  // have no name.
  const auto replacement = [&](pid_t child) {
    std::optional<struct stat> found;
    std::error_code error;
    for (fs::directory_iterator item("/proc/" + std::to_string(child) + "/fd", error), end;
         !error && item != end; item.increment(error)) {
      const fs::path file = fs::read_symlink(item->path(), error);
      struct stat info {};
      if (file.parent_path() == folder.path() && file != source && file != dest &&
          ::stat(item->path().c_str(), &info) == 0) {
        found = info;
      }
    }
    return found;
  };
  for (const bool unnamed : {true, false}) {
    SCOPED_TRACE(unnamed ? "unnamed" : "named");
    int killed_while_writing = 0;
    for (const auto delay : {0us, 1000us, 10000us, 40000us}) {
      testing::WriteBytes(dest, old);
      fs::permissions(dest, fs::perms(0600));
      const pid_t child = ::fork();
      if (child == 0) {
        testing::RecordingNotices notices;
        if (unnamed || Inject(kNoUnnamedFiles)) ConvertCatalog(source, dest, notices);
        ::_exit(0);
      }
      auto until = std::chrono::steady_clock::now() + 20s;
      bool writing = false;
      int status = 0;
      pid_t ended = 0;
      while ((ended = ::waitpid(child, &status, WNOHANG)) == 0 &&
             std::chrono::steady_clock::now() < until) {
        if (const auto file = replacement(child)) {
          EXPECT_EQ(file->st_mode & 077, 0u) << "readable by others";
          if (!writing && file->st_size > 0) until = std::chrono::steady_clock::now() + delay;
          writing = writing || file->st_size > 0;
        }
        std::this_thread::sleep_for(50us);
      }
      if (ended == 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
      }
      const std::string after = testing::ReadBytes(dest);
      EXPECT_TRUE(after == old || after == new_records) << "a mix of " << after.size() << " bytes";
      std::vector<std::string> names = testing::FolderNames(folder.path());
      if (!unnamed && names.size() == 3 && names[0].starts_with(".tessaril-")) {
        fs::remove(folder.path() / names[0]);
        names.erase(names.begin());
      }
      EXPECT_EQ(names, (std::vector<std::string>{"new.kat", "velmora.kat"}));
      killed_while_writing += writing && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }
    EXPECT_GT(killed_while_writing, 0) << "no signal landed while the records were written";
  }
}

// Started without standard input, the program gets descriptor 0 for the first file it opens:
// the source, the file replaced, or the new file's folder. Each serves and is let go like any
// other, whether the new file is put in place or abandoned.
TEST(Conversions, DescriptorZeroIsAFileLikeAnyOther) {
  testing::TempFolder folder;
  const std::string source = folder.File("velmora.kat"), old = folder.File("old.kat");
  testing::WriteBytes(source, ValidCatalogue(3));
  testing::WriteBytes(old, "o");
  fs::permissions(old, fs::perms(0600));
  const auto left = [](const std::string& path) {
    return (fs::exists(path) ? testing::ReadBytes(path).substr(0, 1) : "-") +
           (::fcntl(0, F_GETFD) == -1 ? "" : "(descriptor 0 still open)");
  };
  const int input = ::dup(0);
  ::close(0);
  testing::RecordingNotices notices;
  ConvertCatalog(source, folder.File("converted.kat"), notices);
  std::string seen = left(folder.File("converted.kat"));
  const std::string fresh = folder.File("new.kat");
  for (const auto& [path, commit] :
       {std::pair{old, false}, {old, true}, {fresh, false}, {fresh, true}}) {
    const bool done = [&] {
      AtomicOutputFile file;
      return file.Open(path).ok() && file.Write("x").ok() && (!commit || file.Commit().ok());
    }();
    seen += done ? left(path) : "(failed)";
  }
  ::dup2(input, 0);
  ::close(input);
  EXPECT_EQ(seen, "Aox-x");
  EXPECT_EQ(fs::status(old).permissions(), fs::perms(0600)) << "replaced as a new file";
}

}  // namespace
}  // namespace tessaril
