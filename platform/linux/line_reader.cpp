// Linux's calls for reading a file, and what it tells of one.
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>

#include "platform/linux/errno_failure.h"
#include "platform/native_files.h"

namespace tessaril::native {

Result<Handle> OpenForReading(const std::string& path) {
  // Non-blocking, so that a FIFO without a writer is refused instead of waiting forever.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return ErrnoFailure(errno, path);
  return Handle{fd};
}

Result<FileFacts> FactsOf(Handle file, const std::string& path) {
  const int fd = static_cast<int>(file);
  struct statx info {};
  struct statfs filesystem {};
  if (::statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS, &info) != 0 ||
      ::fstatfs(fd, &filesystem) != 0) {
    return ErrnoFailure(errno, path);
  }
  const auto nanoseconds = [](const statx_timestamp& time) {
    return std::int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec;
  };
  const std::uint64_t attributes = info.stx_attributes & info.stx_attributes_mask;
  return FileFacts{
      .kind = S_ISREG(info.stx_mode)   ? FileFacts::Kind::kFile
              : S_ISDIR(info.stx_mode) ? FileFacts::Kind::kFolder
                                       : FileFacts::Kind::kOther,
      .read_only = (info.stx_mode & 0222) == 0,
      // The kernel makes up the files of /proc and /sys as they are read.
      .system = filesystem.f_type == PROC_SUPER_MAGIC || filesystem.f_type == SYSFS_MAGIC,
      .deleted = info.stx_nlink == 0,
      .append_only = (attributes & STATX_ATTR_APPEND) != 0,
      .immutable = (attributes & STATX_ATTR_IMMUTABLE) != 0,
      .mount_point = (attributes & STATX_ATTR_MOUNT_ROOT) != 0,
      .size = info.stx_size,
      .written = nanoseconds(info.stx_mtime),
      .changed = nanoseconds(info.stx_ctime),
  };
}

Result<std::size_t> Read(Handle file, std::span<char> buffer, const std::string& path) {
  for (;;) {
    const ssize_t count = ::read(static_cast<int>(file), buffer.data(), buffer.size());
    if (count >= 0) return static_cast<std::size_t>(count);
    if (errno != EINTR) return ErrnoFailure(errno, path);
  }
}

void Close(Handle file) { ::close(static_cast<int>(file)); }

bool IsFolder(const std::filesystem::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace tessaril::native
