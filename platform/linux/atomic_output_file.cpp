#include "platform/atomic_output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/linux/background_close.h"
#include "platform/linux/background_flush.h"
#include "platform/linux/errno_failure.h"
#include "platform/linux/removal_on_signal.h"
#include "platform/native_replacement.h"
#include "platform/temporary_name.h"

namespace tessaril {
namespace {

namespace fs = std::filesystem;

// The flush thread hears of the file's growth in steps of this size, the least it flushes,
// rather than at every chunk.
constexpr std::uint64_t kFlushStep = 8 << 20;

// The links the kernel follows in one path before it gives up with ELOOP.
constexpr int kMostLinks = 40;

void CloseKeepingErrno(int fd) {
  const int saved = errno;
  ::close(fd);
  errno = saved;
}

// The name through which the kernel reaches the file of an open descriptor, where /proc is.
std::string DescriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// The attributes of the open file or folder `fd` that chattr sets (STATX_ATTR_*), and whether
// it is a mount point; none where the kernel does not tell.
std::uint64_t Attributes(int fd) {
  struct statx info {};
  if (::statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS, &info) != 0) return 0;
  return info.stx_attributes & info.stx_attributes_mask;
}

// Tries hidden names until `make` makes a file of one beside the destination: the name, or none
// with errno set.
template <typename Make>
std::optional<std::string> MakeHidden(Make make) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = TemporaryName();
    if (make(name)) return name;
    if (errno != EEXIST) break;
  }
  return std::nullopt;
}

// Reads an attribute list or value whose size is only known by asking: again when it grew in
// between. Empty with errno set on failure.
template <typename Read>
std::optional<std::string> ReadSized(Read read) {
  for (;;) {
    const ssize_t size = read(nullptr, 0);
    if (size < 0) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    const ssize_t read_size = read(bytes.data(), bytes.size());
    if (read_size >= 0) {
      bytes.resize(static_cast<std::size_t>(read_size));
      return bytes;
    }
    if (errno != ERANGE) return std::nullopt;
  }
}

// How an unnamed file gets its name beside the destination.
enum class Naming {
  kFromDescriptor,  // linkat with AT_EMPTY_PATH, where the kernel allows it to its caller.
  kThroughProc,     // linkat of its name in /proc/self/fd.
};

// Unnamed until every record is on disk (O_TMPFILE), written back to disk while it grows, and
// renamed over the file that the path's links reach. The folder is held by its descriptor, so
// that a path of any real length works when the path given is short.
class LinuxReplacement final : public NativeReplacement {
 public:
  explicit LinuxReplacement(const std::string& path) : path_(path) {}
  ~LinuxReplacement() override;

  Status FindDestination() override;
  Status CreateReplacement() override;
  Status TakeOverDestination() override;
  Status Write(std::string_view bytes) override;
  Status Flush() override;
  Status Name() override;
  Status Rename() override;
  void LetReplacedGo() override;

 private:
  Status CheckReplaced();
  Status FollowLinks();
  Status CheckFolder();
  std::optional<Naming> NamingOf(int fd) const;
  Status CreateNamed(mode_t mode);
  Status CopyAttributes();

  const std::string path_;                   // As the user gave it, for the notices.
  std::optional<struct stat> existing_;      // The file that gets replaced, where there is one.
  int folder_fd_ = -1;                       // Where the destination's file is or will be,
  std::string folder_shown_;                 // as the notices name that folder,
  std::string name_;                         // and its name there.
  int fd_ = -1;                              // The replacement,
  Naming naming_ = Naming::kFromDescriptor;  // how it gets a name, while it has none,
  std::string temporary_;                   // and its name beside the destination, once it has one.
  std::optional<RemovalOnSignal> removal_;  // While it has or gets that name.
  std::uint64_t written_ = 0;               // Bytes appended so far.
  std::uint64_t announced_ = 0;             // Bytes the flush thread was told of,
  std::unique_ptr<BackgroundFlush> flush_;  // from the first step on.
  int replaced_ = -1;                       // The file that gets replaced, held open until
  std::optional<BackgroundClose> closing_;  // the rename is done and then let go off the way.
};

LinuxReplacement::~LinuxReplacement() {
  flush_.reset();
  if (replaced_ >= 0) CloseKeepingErrno(replaced_);
  if (fd_ >= 0) CloseKeepingErrno(fd_);
  // Disarmed first: once removed, the name may be another file's.
  removal_.reset();
  if (!temporary_.empty()) ::unlinkat(folder_fd_, temporary_.c_str(), 0);
  if (folder_fd_ >= 0) CloseKeepingErrno(folder_fd_);
}

Status LinuxReplacement::FindDestination() {
  // The kernel follows the links, with every protection it applies to them (another user's
  // link in a shared sticky folder, ELOOP); ENOENT tells that it would follow them all to a
  // file that is not there yet.
  replaced_ = ::open(path_.c_str(), O_PATH | O_CLOEXEC);
  if (replaced_ < 0 && errno != ENOENT) return FailureFromErrno(errno, path_);
  if (replaced_ >= 0) {
    if (Status status = CheckReplaced(); !status.ok()) return status;
  }
  if (Status status = FollowLinks(); !status.ok()) return status;
  return CheckFolder();
}

// Written anew even by root, as a read-only catalogue is meant to stay as it is; a file the
// rename could not replace is refused before any record is written.
Status LinuxReplacement::CheckReplaced() {
  struct stat info {};
  if (::fstat(replaced_, &info) != 0) return FailureFromErrno(errno, path_);
  const auto refused = [&](std::string_view cause) {
    return PathFailure(FailureCode::kPathFileAccess, path_, cause);
  };
  // A descriptor's name in /proc/self/fd still reaches a file whose last name is gone.
  if (info.st_nlink == 0) return refused(kDeleted);
  if (OnSystemFilesystem(replaced_)) return refused(kSystemFile);
  if (Status status = CheckRegularFile(info.st_mode, path_); !status.ok()) return status;
  if ((info.st_mode & 0222) == 0) return refused(kIsReadOnly);
  const std::uint64_t attributes = Attributes(replaced_);
  if ((attributes & (STATX_ATTR_APPEND | STATX_ATTR_IMMUTABLE)) != 0) return refused(kProtected);
  if ((attributes & STATX_ATTR_MOUNT_ROOT) != 0) return refused(kMountPoint);
  existing_ = info;
  return {};
}

// Follows the path's links once more, from folder to folder through descriptors, to the folder
// that holds the file they reach, or where the last of them points when there is none yet.
// The kernel has allowed following them all.
Status LinuxReplacement::FollowLinks() {
  fs::path place = path_;  // What is left to follow, from the folder reached so far.
  fs::path shown = path_;  // The same place as the notices name it.
  for (int hop = 0;; ++hop) {
    if (Status status = CheckNamesFile(place, path_); !status.ok()) return status;
    const fs::path folder = place.has_parent_path() ? place.parent_path() : ".";
    const int next = ::openat(folder_fd_ >= 0 ? folder_fd_ : AT_FDCWD, folder.c_str(),
                              O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (next < 0 && hop > 0 && errno == ENOENT) {
      return PathFailure(FailureCode::kPathNotFound, path_,
                         PointsIntoMissingFolder(shown.parent_path().string()));
    }
    if (next < 0) return FailureFromErrno(errno, path_);
    if (folder_fd_ >= 0) ::close(folder_fd_);
    folder_fd_ = next;
    name_ = place.filename().string();
    folder_shown_ = shown.has_parent_path() ? shown.parent_path().string() : ".";

    struct stat info {};
    if (::fstatat(folder_fd_, name_.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT && !existing_) return {};
      return FailureFromErrno(errno, path_);
    }
    if (!S_ISLNK(info.st_mode)) {
      // The file the kernel reached, unless the path changed meanwhile.
      if (existing_ && info.st_dev == existing_->st_dev && info.st_ino == existing_->st_ino) {
        return {};
      }
      return PathFailure(FailureCode::kPathFileAccess, path_);
    }
    if (hop == kMostLinks) return FailureFromErrno(ELOOP, path_);
    char target[PATH_MAX];
    const ssize_t size = ::readlinkat(folder_fd_, name_.c_str(), target, sizeof target);
    if (size <= 0) return FailureFromErrno(size < 0 ? errno : ENOENT, path_);
    place = std::string(target, static_cast<std::size_t>(size));
    shown = shown.parent_path() / place;
  }
}

// The folder must take a new file and let it replace the old one; whether another user's file
// in a sticky folder may be replaced is only known at the rename, so it is asked here.
Status LinuxReplacement::CheckFolder() {
  if (OnSystemFilesystem(folder_fd_)) {
    return PathFailure(FailureCode::kPathFileAccess, path_, kSystemFile);
  }
  const auto refused = [&](const std::string& cause) {
    return PathFailure(FailureCode::kPermissionDenied, path_, cause);
  };
  if ((Attributes(folder_fd_) & STATX_ATTR_APPEND) != 0) {
    return refused(FolderOnlyAppends(folder_shown_));
  }
  if (::faccessat(folder_fd_, ".", W_OK | X_OK, 0) != 0) {
    if (errno != EACCES && errno != EPERM) return FailureFromErrno(errno, path_);
    return refused(FolderAllowsNoNewFiles(folder_shown_));
  }
  struct stat folder {};
  if (::fstat(folder_fd_, &folder) != 0) return FailureFromErrno(errno, path_);
  const uid_t user = ::geteuid();
  if ((folder.st_mode & S_ISVTX) != 0 && existing_ && existing_->st_uid != user &&
      folder.st_uid != user && user != 0) {
    return refused(FolderKeepsOthersFiles(folder_shown_));
  }
  if (existing_ && ::faccessat(folder_fd_, name_.c_str(), W_OK, 0) != 0) {
    return FailureFromErrno(errno, path_);
  }
  // Read, so that the rename can be flushed to disk: nothing is left to fail between the rename
  // and that flush.
  const int readable = ::openat(folder_fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (readable < 0) {
    if (errno != EACCES) return FailureFromErrno(errno, path_);
    return refused(FolderNotReadable(folder_shown_));
  }
  ::close(folder_fd_);
  folder_fd_ = readable;
  return {};
}

// Linking the descriptor to ".", which is always there, fails with EEXIST only where the kernel
// lets its caller link the descriptor itself.
std::optional<Naming> LinuxReplacement::NamingOf(int fd) const {
  if (::linkat(fd, "", folder_fd_, ".", AT_EMPTY_PATH) != 0 && errno == EEXIST) {
    return Naming::kFromDescriptor;
  }
  if (::faccessat(AT_FDCWD, DescriptorPath(fd).c_str(), F_OK, AT_SYMLINK_NOFOLLOW) == 0) {
    return Naming::kThroughProc;
  }
  return std::nullopt;
}

Status LinuxReplacement::CreateReplacement() {
  // Unnamed until every record is on disk, so that a killed run leaves nothing behind. Over an
  // existing file readable by its owner alone until it has that file's permissions; a new one
  // has the usual permissions from the start.
  const mode_t mode = existing_ ? 0600 : 0666;
  fd_ = ::openat(folder_fd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  // A filesystem without unnamed files refuses them; any other cause refuses a named file too,
  // and is reported from there. An unnamed file that could never get a name is no use.
  if (fd_ >= 0) {
    if (const std::optional<Naming> naming = NamingOf(fd_)) {
      naming_ = *naming;
      return {};
    }
    ::close(std::exchange(fd_, -1));
  }
  return CreateNamed(mode);
}

// A hidden name instead, removed again when a signal ends the program.
Status LinuxReplacement::CreateNamed(mode_t mode) {
  removal_.emplace();
  std::optional<std::string> name = MakeHidden([&](const std::string& candidate) {
    fd_ = ::openat(folder_fd_, candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    return fd_ >= 0;
  });
  if (!name) {
    const int error = errno;
    removal_.reset();
    return FailureFromErrno(error, path_);
  }
  temporary_ = std::move(*name);
  removal_->Arm(folder_fd_, temporary_);
  return {};
}

Status LinuxReplacement::TakeOverDestination() {
  if (!existing_) return {};
  // Its owner first, as giving a file away clears set-ID bits; only root may give a file away,
  // and a member of the destination's group keeps at least that.
  if (::fchown(fd_, existing_->st_uid, existing_->st_gid) != 0) {
    [[maybe_unused]] const int group_kept =
        ::fchown(fd_, static_cast<uid_t>(-1), existing_->st_gid);
  }
  // Then its permissions, and its attributes, which hold its ACLs.
  if (::fchmod(fd_, existing_->st_mode & 07777) != 0) return FailureFromErrno(errno, path_);
  return CopyAttributes();
}

// Extended attributes hold the destination's ACLs among others. They are read through the path
// as given, which reaches the same file. One that this filesystem cannot hold (ENOTSUP) is left
// out, as a copy of the file would leave it; any other failure keeps the destination as it is.
Status LinuxReplacement::CopyAttributes() {
  const auto names = ReadSized(
      [&](char* data, std::size_t size) { return ::listxattr(path_.c_str(), data, size); });
  if (!names) return errno == ENOTSUP ? Status() : FailureFromErrno(errno, path_);
  for (const char* name = names->c_str(); name < names->c_str() + names->size();
       name += std::strlen(name) + 1) {
    const auto value = ReadSized(
        [&](char* data, std::size_t size) { return ::getxattr(path_.c_str(), name, data, size); });
    if (!value) return FailureFromErrno(errno, path_);
    if (::fsetxattr(fd_, name, value->data(), value->size(), 0) != 0 && errno != ENOTSUP) {
      return FailureFromErrno(errno, path_);
    }
  }
  return {};
}

Status LinuxReplacement::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return IoFailureFromErrno(errno, path_);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
    written_ += static_cast<std::uint64_t>(written);
  }
  if (written_ - announced_ >= kFlushStep) {
    announced_ = written_;
    if (!flush_) flush_ = std::make_unique<BackgroundFlush>(fd_);
    flush_->Written(written_);
  }
  return {};
}

Status LinuxReplacement::Flush() {
  if (flush_) {
    const int error = flush_->Finish();
    flush_.reset();
    if (error != 0) return IoFailureFromErrno(error, path_);
  }
  if (const int error = FlushRetrying(&::fsync, fd_); error != 0) {
    return IoFailureFromErrno(error, path_);
  }
  return {};
}

// An unnamed replacement gets a name beside the destination, to be renamed over it.
Status LinuxReplacement::Name() {
  if (!temporary_.empty()) return {};
  const std::string self = DescriptorPath(fd_);
  removal_.emplace();
  std::optional<std::string> name = MakeHidden([&](const std::string& candidate) {
    const int linked =
        naming_ == Naming::kFromDescriptor
            ? ::linkat(fd_, "", folder_fd_, candidate.c_str(), AT_EMPTY_PATH)
            : ::linkat(AT_FDCWD, self.c_str(), folder_fd_, candidate.c_str(), AT_SYMLINK_FOLLOW);
    return linked == 0;
  });
  if (!name) return FailureFromErrno(errno, path_);
  temporary_ = std::move(*name);
  removal_->Arm(folder_fd_, temporary_);
  return {};
}

Status LinuxReplacement::Rename() {
  if (::renameat(folder_fd_, temporary_.c_str(), folder_fd_, name_.c_str()) != 0) {
    return FailureFromErrno(errno, path_);
  }
  removal_.reset();
  temporary_.clear();
  // Every record is on disk since the fsync succeeded: closing has nothing left to report.
  CloseKeepingErrno(std::exchange(fd_, -1));
  // Syncing the folder makes the rename itself durable. A failure here cannot be undone, so it
  // is not reported.
  FlushRetrying(&::fsync, folder_fd_);
  CloseKeepingErrno(std::exchange(folder_fd_, -1));
  return {};
}

void LinuxReplacement::LetReplacedGo() {
  // Closing the last descriptor of a file whose last name is gone frees its blocks, which for a
  // large file takes a while: done beside the caller, who may tell the user meanwhile.
  if (replaced_ >= 0) closing_.emplace(std::exchange(replaced_, -1));
}

}  // namespace

void IgnoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

std::unique_ptr<NativeReplacement> NewNativeReplacement(const std::string& path) {
  return std::make_unique<LinuxReplacement>(path);
}

}  // namespace tessaril
