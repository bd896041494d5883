#include "platform/atomic_output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "platform/posix/background_flush.h"
#include "platform/posix/errno_failure.h"
#include "platform/temporary_name.h"

namespace tessaril {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxSymlinkHops = 40;
// Early write-back in steps of this size keeps the final flush short without a system call per
// chunk.
constexpr std::uint64_t kWriteBackStep = 8 << 20;

int CloseKeepingErrno(int fd) {
  const int saved = errno;
  const int result = ::close(fd);
  errno = saved;
  return result;
}

}  // namespace

void IgnoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

struct AtomicOutputFile::State {
  std::optional<Failure> Open(const std::string& path);
  std::optional<Failure> ResolveTarget();
  std::optional<Failure> CreateTemporary();
  std::optional<Failure> Write(std::string_view bytes);
  std::optional<Failure> Commit();
  void Discard();

  std::string path_;                     // As the user gave it, for the notices.
  std::string target_;                   // The regular file that gets replaced.
  std::optional<struct stat> existing_;  // The target as it was, where it exists.
  std::string folder_;
  std::string temporary_;
  int fd_ = -1;
  std::uint64_t written_ = 0;               // Bytes appended so far.
  std::uint64_t written_back_ = 0;          // Bytes already handed to the system's write-back.
  std::unique_ptr<BackgroundFlush> flush_;  // From the first write-back on.
};

AtomicOutputFile::AtomicOutputFile() : state_(std::make_unique<State>()) {}

AtomicOutputFile::~AtomicOutputFile() { state_->Discard(); }

std::optional<Failure> AtomicOutputFile::Open(const std::string& path) {
  return state_->Open(path);
}

std::optional<Failure> AtomicOutputFile::Write(std::string_view bytes) {
  return state_->Write(bytes);
}

std::optional<Failure> AtomicOutputFile::Commit() { return state_->Commit(); }

void AtomicOutputFile::State::Discard() {
  flush_.reset();
  if (fd_ >= 0) CloseKeepingErrno(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

std::optional<Failure> AtomicOutputFile::State::Open(const std::string& path) {
  Discard();
  written_ = written_back_ = 0;
  path_ = path;
  if (auto failure = UnusablePathFailure(path)) return failure;
  if (auto failure = ResolveTarget()) return failure;
  return CreateTemporary();
}

std::optional<Failure> AtomicOutputFile::State::ResolveTarget() {
  target_ = path_;
  existing_.reset();
  for (int hop = 0; hop <= kMaxSymlinkHops; ++hop) {
    struct stat info {};
    if (::lstat(target_.c_str(), &info) != 0) {
      if (errno != ENOENT) return FailureFromErrno(errno, path_);
      break;  // A new file.
    }
    if (!S_ISLNK(info.st_mode)) {
      // Written anew even by root, as a read-only catalogue is meant to stay as it is.
      if (auto failure = FileTypeFailure(info.st_mode, path_)) return failure;
      if ((info.st_mode & 0222) == 0) {
        return PathFailure(FailureCode::kPathFileAccess, path_, kIsReadOnly);
      }
      if (::access(target_.c_str(), W_OK) != 0) return FailureFromErrno(errno, path_);
      existing_ = info;
      break;
    }
    std::error_code error;
    const fs::path link = fs::read_symlink(target_, error);
    if (error) return FailureFromErrno(error.value(), path_);
    target_ = (fs::path(target_).parent_path() / link).string();
    if (hop == kMaxSymlinkHops) return FailureFromErrno(ELOOP, path_);
  }
  const fs::path target(target_);
  if (!target.has_filename() || target.filename() == "." || target.filename() == "..") {
    return PathFailure(FailureCode::kBadFileName, path_, kNoFileName);
  }
  folder_ = target.has_parent_path() ? target.parent_path().string() : ".";
  return std::nullopt;
}

std::optional<Failure> AtomicOutputFile::State::CreateTemporary() {
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temporary_ =
        (fs::path(folder_) / TemporaryName(static_cast<std::uint64_t>(::getpid()))).string();
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) {
      temporary_.clear();
      return FailureFromErrno(errno, path_);
    }
  }
  if (fd_ < 0) {
    temporary_.clear();
    return FailureFromErrno(EEXIST, path_);
  }
  if (existing_) {
    // The replacement keeps the destination's owner where allowed (only root may give a file
    // away) and its permissions.
    [[maybe_unused]] const int owner_kept = ::fchown(fd_, existing_->st_uid, existing_->st_gid);
    ::fchmod(fd_, existing_->st_mode & 07777);
  }
  return std::nullopt;
}

std::optional<Failure> AtomicOutputFile::State::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return IoFailureFromErrno(errno, path_);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
    written_ += static_cast<std::uint64_t>(written);
  }
  if (written_ - written_back_ >= kWriteBackStep) {
    // Only a hint: durability still comes from the fsync in Commit.
    ::sync_file_range(fd_, static_cast<off_t>(written_back_),
                      static_cast<off_t>(written_ - written_back_), SYNC_FILE_RANGE_WRITE);
    written_back_ = written_;
    if (!flush_) flush_ = std::make_unique<BackgroundFlush>(fd_);
    flush_->Written(written_);
  }
  return std::nullopt;
}

std::optional<Failure> AtomicOutputFile::State::Commit() {
  if (flush_) {
    const int error = flush_->Finish();
    flush_.reset();
    if (error != 0) return IoFailureFromErrno(error, path_);
  }
  if (::fsync(fd_) != 0) return IoFailureFromErrno(errno, path_);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return IoFailureFromErrno(errno, path_);
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) return FailureFromErrno(errno, path_);
  temporary_.clear();
  // The new records are in place; syncing the folder makes the rename itself durable. A
  // failure here cannot be undone, so it is not reported.
  const int folder_fd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_fd >= 0) {
    ::fsync(folder_fd);
    ::close(folder_fd);
  }
  return std::nullopt;
}

}  // namespace tessaril
