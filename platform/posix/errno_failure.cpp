#include "platform/posix/errno_failure.h"

#include <cerrno>

namespace tessaril {

Failure FailureFromErrno(int error_number, std::string_view path) {
  switch (error_number) {
    case ENOENT:
    case ENOTDIR:
      return PathFailure(FailureCode::kPathNotFound, path);
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
      return PathFailure(FailureCode::kBadFileName, path);
    case EACCES:
    case EPERM:
      return PathFailure(FailureCode::kPermissionDenied, path);
    case EISDIR:
    case EROFS:
    case ETXTBSY:
    case EBUSY:
    case ELOOP:
    case ENXIO:  // A socket, or a device without its driver: no file to read or write.
    case ENODEV:
      return PathFailure(FailureCode::kPathFileAccess, path);
    default:
      return IoFailureFromErrno(error_number, path);
  }
}

Failure IoFailureFromErrno(int error_number, std::string_view path) {
  switch (error_number) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return PathFailure(FailureCode::kDiskFull, path);
    case ENOMEM:
      return PathFailure(FailureCode::kOutOfMemory, path);
    default:
      return PathFailure(FailureCode::kDeviceIo, path);
  }
}

}  // namespace tessaril
