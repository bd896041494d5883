#include "platform/linux/errno_failure.h"

#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>

#include <cerrno>

namespace tessaril {

Failure FailureFromErrno(int error_number, std::string_view path) {
  switch (error_number) {
    case ENOENT:
      return PathFailure(FailureCode::kPathNotFound, path, kFolderMissing);
    case ENOTDIR:
      return PathFailure(FailureCode::kPathNotFound, path, kUnderFile);
    case ENAMETOOLONG:
      return PathFailure(FailureCode::kBadFileName, path, kTooLong);
    case EINVAL:
    case EILSEQ:
      return PathFailure(FailureCode::kBadFileName, path);
    case EACCES:
    case EPERM:
      return PathFailure(FailureCode::kPermissionDenied, path);
    case EISDIR:
      return PathFailure(FailureCode::kPathFileAccess, path, kIsFolder);
    case EROFS:
      return PathFailure(FailureCode::kPathFileAccess, path, kOnReadOnlyDisk);
    case ELOOP:
      return PathFailure(FailureCode::kPathFileAccess, path, kTooManyLinks);
    case ENXIO:  // A socket, or a device without its driver: no file to read or write.
    case ENODEV:
      return PathFailure(FailureCode::kPathFileAccess, path, kNoRegularFile);
    case ETXTBSY:
    case EBUSY:
      return PathFailure(FailureCode::kPathFileAccess, path);
    case EMFILE:
    case ENFILE:
      return PathFailure(FailureCode::kTooManyFiles, path, kTooManyOpen);
    default:
      return IoFailureFromErrno(error_number, path);
  }
}

Failure IoFailureFromErrno(int error_number, std::string_view path) {
  switch (error_number) {
    case ENOSPC:
    case EDQUOT:
      return PathFailure(FailureCode::kDiskFull, path);
    case EFBIG:
      return PathFailure(FailureCode::kDiskFull, path, kSizeLimit);
    case ENOMEM:
      return PathFailure(FailureCode::kOutOfMemory, path);
    default:
      return PathFailure(FailureCode::kDeviceIo, path);
  }
}

Status CheckRegularFile(mode_t mode, std::string_view path) {
  if (S_ISREG(mode)) return {};
  return PathFailure(FailureCode::kPathFileAccess, path,
                     S_ISDIR(mode) ? kIsFolder : kNoRegularFile);
}

}  // namespace tessaril

namespace tessaril {

bool OnSystemFilesystem(int fd) {
  struct statfs info {};
  return ::fstatfs(fd, &info) == 0 &&
         (info.f_type == PROC_SUPER_MAGIC || info.f_type == SYSFS_MAGIC);
}

}  // namespace tessaril
