// Linux's calls for replacing a file: the new file has no name until every record is on disk
// (O_TMPFILE), and is renamed over the file the path's links reach. The folder is held by its
// descriptor, so that a path of any real length works where the path given is short.
#include "platform/atomic_output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "platform/file_kinds.h"
#include "platform/linux/errno_failure.h"
#include "platform/temporary_name.h"

namespace tessaril {

void IgnoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

namespace native {
namespace {

namespace fs = std::filesystem;

// The links the kernel follows in one path before it gives up with ELOOP.
constexpr int kMostLinks = 40;

// The writer asks the system to start writing back what it wrote each time this much more is
// written, so that the flush at the end has little left to wait for.
constexpr std::uint64_t kWriteBackStep = 8 << 20;

int Fd(Handle handle) { return static_cast<int>(handle); }

void CloseHandle(Handle& handle) {
  if (handle != kNoHandle) ::close(Fd(std::exchange(handle, kNoHandle)));
}

// The name through which the kernel reaches the file of an open descriptor, where /proc is.
std::string DescriptorPath(Handle fd) { return "/proc/self/fd/" + std::to_string(fd); }

// The failure of the call that just failed.
Status Failed(const Replacement& r) { return ErrnoFailure(errno, r.path); }

// Follows the path's links once more, from folder to folder through descriptors, to the folder
// that holds the file they reach, or where the last of them points when there is none yet. The
// kernel has allowed following them all.
Status FollowLinks(Replacement& r, const std::optional<struct stat>& reached) {
  fs::path place = r.path;  // What is left to follow, from the folder reached so far.
  fs::path shown = r.path;  // The same place as the notices name it.
  for (int hop = 0;; ++hop) {
    if (Status status = CheckNamesFile(place, r.path); !status.ok()) return status;
    const fs::path folder = place.has_parent_path() ? place.parent_path() : ".";
    const int next = ::openat(r.folder != kNoHandle ? Fd(r.folder) : AT_FDCWD, folder.c_str(),
                              O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (next < 0 && hop > 0 && errno == ENOENT) {
      return PathFailure(FailureCode::kPathNotFound, r.path,
                         PointsIntoMissingFolder(shown.parent_path().string()));
    }
    if (next < 0) return Failed(r);
    CloseHandle(r.folder);
    r.folder = next;
    r.place = place.filename();
    r.folder_shown = shown.has_parent_path() ? shown.parent_path().string() : ".";
    struct stat info {};
    if (::fstatat(next, r.place.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
      return errno == ENOENT && !reached ? Status() : Failed(r);
    }
    if (!S_ISLNK(info.st_mode)) {
      // The file the kernel reached, unless the path changed meanwhile.
      if (reached && info.st_dev == reached->st_dev && info.st_ino == reached->st_ino) return {};
      return PathFailure(FailureCode::kPathFileAccess, r.path);
    }
    if (hop == kMostLinks) return ErrnoFailure(ELOOP, r.path);
    char target[PATH_MAX];
    const ssize_t size = ::readlinkat(next, r.place.c_str(), target, sizeof target);
    if (size < 0) return Failed(r);
    place = std::string(target, static_cast<std::size_t>(size));
    shown = shown.parent_path() / place;
  }
}

// What the folder allows, as far as it can be asked beforehand; whether another user's file in
// a sticky folder may be replaced is only known at the rename otherwise. Read, so that the
// rename can be flushed to disk: nothing is left to fail between the rename and that flush.
Status FindFolderFacts(Replacement& r) {
  Result<FileFacts> folder = FactsOf(r.folder, r.path);
  if (!folder.ok()) return std::move(folder).status();
  struct stat info {};
  if (::fstat(Fd(r.folder), &info) != 0) return Failed(r);
  const uid_t user = ::geteuid();
  r.folder_facts = {
      .system = folder->system,
      .only_appends = folder->append_only,
      .takes_files = ::faccessat(Fd(r.folder), ".", W_OK | X_OK, 0) == 0,
      .keeps_others_files = (info.st_mode & S_ISVTX) != 0 && info.st_uid != user && user != 0,
  };
  if (!r.folder_facts.takes_files && errno != EACCES && errno != EPERM) return Failed(r);
  if (r.existing) {
    struct stat file {};
    if (::fstatat(Fd(r.folder), r.place.c_str(), &file, 0) != 0) return Failed(r);
    r.folder_facts.keeps_others_files = r.folder_facts.keeps_others_files && file.st_uid != user;
    r.existing->writable = ::faccessat(Fd(r.folder), r.place.c_str(), W_OK, 0) == 0;
  }
  const int readable = ::openat(Fd(r.folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  r.folder_facts.readable = readable >= 0;
  if (readable < 0) return errno == EACCES ? Status() : Failed(r);
  CloseHandle(r.folder);
  r.folder = readable;
  return {};
}

// Tries hidden names until `make` makes a file of one beside the destination.
template <typename Make>
Status MakeHidden(Replacement& r, Make make) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = TemporaryName();
    if (make(name.c_str())) {
      r.temporary = name;
      return {};
    }
    if (errno != EEXIST) break;
  }
  return Failed(r);
}

// Linking the descriptor to ".", which is always there, fails with EEXIST only where the kernel
// lets its caller link the descriptor itself; else its name in /proc may serve.
bool CanBeNamed(const Replacement& r, Handle file) {
  if (::linkat(Fd(file), "", Fd(r.folder), ".", AT_EMPTY_PATH) != 0 && errno == EEXIST) return true;
  return ::faccessat(AT_FDCWD, DescriptorPath(file).c_str(), F_OK, AT_SYMLINK_NOFOLLOW) == 0;
}

// Reads an attribute list or value whose size is only known by asking: again when it grew in
// between.
template <typename Read>
Result<std::string> ReadSized(const Replacement& r, Read read) {
  for (;;) {
    const ssize_t size = read(nullptr, 0);
    // A filesystem without them has none.
    if (size < 0) return errno == ENOTSUP ? Result<std::string>("") : Failed(r).failure();
    std::string bytes(static_cast<std::size_t>(size), '\0');
    const ssize_t read_size = read(bytes.data(), bytes.size());
    if (read_size >= 0) {
      bytes.resize(static_cast<std::size_t>(read_size));
      return bytes;
    }
    if (errno != ERANGE) return Failed(r);
  }
}

// Its owner first, as giving a file away clears set-ID bits; only root may give a file away, and
// a member of the destination's group keeps at least that. Then its permissions and its extended
// attributes, which hold its ACLs, read through the path as given, which reaches the same file.
// An attribute this filesystem cannot hold (ENOTSUP) is left out, as a copy would leave it.
Status TakeOverDestination(const Replacement& r) {
  struct stat info {};
  if (::fstatat(Fd(r.folder), r.place.c_str(), &info, 0) != 0) return Failed(r);
  if (::fchown(Fd(r.file), info.st_uid, info.st_gid) != 0) {
    [[maybe_unused]] const int group_kept =
        ::fchown(Fd(r.file), static_cast<uid_t>(-1), info.st_gid);
  }
  if (::fchmod(Fd(r.file), info.st_mode & 07777) != 0) return Failed(r);
  Result<std::string> names = ReadSized(
      r, [&](char* data, std::size_t size) { return ::listxattr(r.path.c_str(), data, size); });
  if (!names.ok()) return std::move(names).status();
  for (const char* name = names->c_str(); name < names->c_str() + names->size();
       name += std::strlen(name) + 1) {
    Result<std::string> value = ReadSized(r, [&](char* data, std::size_t size) {
      return ::getxattr(r.path.c_str(), name, data, size);
    });
    if (!value.ok()) return std::move(value).status();
    if (::fsetxattr(Fd(r.file), name, value->data(), value->size(), 0) != 0 && errno != ENOTSUP) {
      return Failed(r);
    }
  }
  return {};
}

}  // namespace

Status FindDestination(Replacement& r) {
  // The kernel follows the links, with every protection it applies to them (another user's link
  // in a shared sticky folder, ELOOP); ENOENT tells that it would follow them all to a file that
  // is not there yet.
  const int reached = ::open(r.path.c_str(), O_PATH | O_CLOEXEC);
  if (reached < 0 && errno != ENOENT) return Failed(r);
  std::optional<struct stat> reached_info;
  if (reached >= 0) {
    Result<FileFacts> facts = FactsOf(reached, r.path);
    struct stat info {};
    if (facts.ok() && ::fstat(reached, &info) != 0) facts = Failed(r).failure();
    ::close(reached);
    if (!facts.ok()) return std::move(facts).status();
    r.existing = *facts;
    // Only a regular file with a name has a folder to be replaced in.
    if (facts->kind != FileFacts::Kind::kFile || facts->deleted) return {};
    reached_info = info;
  }
  if (Status status = FollowLinks(r, reached_info); !status.ok()) return status;
  return FindFolderFacts(r);
}

Status CreateReplacement(Replacement& r) {
  // Unnamed until every record is on disk, so that a killed run leaves nothing behind. Over an
  // existing file readable by its owner alone until it has that file's permissions; a new one
  // has the usual permissions from the start.
  const mode_t mode = r.existing ? 0600 : 0666;
  r.file = ::openat(Fd(r.folder), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  r.vanishes = r.file != kNoHandle;
  // A filesystem without unnamed files refuses them, and one that could never get a name is no
  // use; any other cause refuses a named file too, and is reported from there.
  if (!r.vanishes || !CanBeNamed(r, r.file)) {
    CloseHandle(r.file);
    r.vanishes = false;
    Status created = MakeHidden(r, [&](const char* name) {
      r.file = ::openat(Fd(r.folder), name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
      return r.file != kNoHandle;
    });
    if (!created.ok()) return created;
  }
  return r.existing ? TakeOverDestination(r) : Status();
}

Status Write(Replacement& r, std::string_view bytes) {
  const std::uint64_t step_before = r.written / kWriteBackStep;
  while (!bytes.empty()) {
    const ssize_t written = ::write(Fd(r.file), bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return Failed(r);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
    r.written += static_cast<std::uint64_t>(written);
  }
  // Only a request: what it cannot start, the flush at the end writes, and reports.
  if (r.written / kWriteBackStep != step_before) {
    ::sync_file_range(Fd(r.file), 0, 0, SYNC_FILE_RANGE_WRITE);
  }
  return {};
}

Status Flush(Replacement& r) {
  while (::fsync(Fd(r.file)) != 0) {
    if (errno != EINTR) return Failed(r);
  }
  return {};
}

Status PutInPlace(Replacement& r) {
  // An unnamed file gets a hidden name beside the destination, to be renamed over it.
  if (r.vanishes) {
    const std::string self = DescriptorPath(r.file);
    Status named = MakeHidden(r, [&](const char* name) {
      return ::linkat(Fd(r.file), "", Fd(r.folder), name, AT_EMPTY_PATH) == 0 ||
             (errno != EEXIST &&
              ::linkat(AT_FDCWD, self.c_str(), Fd(r.folder), name, AT_SYMLINK_FOLLOW) == 0);
    });
    if (!named.ok()) return named;
    r.vanishes = false;
  }
  if (::renameat(Fd(r.folder), r.temporary.c_str(), Fd(r.folder), r.place.c_str()) != 0) {
    return Failed(r);
  }
  r.temporary.clear();
  // Every record is on disk since the fsync succeeded: closing has nothing left to report.
  CloseHandle(r.file);
  // Syncing the folder makes the rename itself durable. A failure here cannot be undone, so it
  // is not reported.
  ::fsync(Fd(r.folder));
  CloseHandle(r.folder);
  return {};
}

void Abandon(Replacement& r) {
  CloseHandle(r.file);
  if (!r.temporary.empty()) ::unlinkat(Fd(r.folder), r.temporary.c_str(), 0);
  r.temporary.clear();
  CloseHandle(r.folder);
}

}  // namespace native
}  // namespace tessaril
