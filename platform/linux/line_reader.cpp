// The Linux part of LineReader: the file itself.
#include "platform/line_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/linux/errno_failure.h"

namespace tessaril {
namespace {

bool FolderExists(const std::string& path) {
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) folder = ".";
  struct stat info {};
  return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

Failure OpenFailure(int error_number, const std::string& path) {
  if (error_number == ENOENT && FolderExists(path)) {
    return PathFailure(FailureCode::kFileNotFound, path);
  }
  return FailureFromErrno(error_number, path);
}

}  // namespace

void LineReader::Close() {
  if (file_ >= 0) ::close(static_cast<int>(file_));
  file_ = -1;
}

Status LineReader::OpenFile() {
  // Non-blocking, so that a FIFO without a writer is refused instead of waiting forever.
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return OpenFailure(errno, path_);
  file_ = fd;
  struct stat info {};
  Status status = ::fstat(fd, &info) != 0 ? FailureFromErrno(errno, path_)
                  : OnSystemFilesystem(fd)
                      ? PathFailure(FailureCode::kPathFileAccess, path_, kSystemFile)
                      : CheckRegularFile(info.st_mode, path_);
  if (!status.ok()) {
    Close();
    return status;
  }
  return {};
}

bool LineReader::ReadIntoBuffer() {
  for (;;) {
    const ssize_t count = ::read(static_cast<int>(file_), buffer_.get(), buffer_size_);
    if (count >= 0) {
      end_ = static_cast<std::size_t>(count);
      return true;
    }
    if (errno != EINTR) {
      failure_ = IoFailureFromErrno(errno, path_);
      Close();
      return false;
    }
  }
}

bool LineReader::ReadStamp(Stamp& stamp) {
  struct stat info {};
  if (::fstat(static_cast<int>(file_), &info) != 0) {
    failure_ = IoFailureFromErrno(errno, path_);
    Close();
    return false;
  }
  const auto nanoseconds = [](const timespec& time) {
    return std::int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec;
  };
  stamp = {static_cast<std::uint64_t>(info.st_size), nanoseconds(info.st_mtim),
           nanoseconds(info.st_ctim)};
  return true;
}

}  // namespace tessaril
