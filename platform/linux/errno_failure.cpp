#include "platform/linux/errno_failure.h"

#include <cerrno>

namespace tessaril {
namespace {

// Every errno value the program tells apart; any other is a device error.
constexpr ErrorMapping kErrnoMappings[] = {
    {ENOENT, FailureCode::kPathNotFound, kFolderMissing},
    {ENOTDIR, FailureCode::kPathNotFound, kUnderFile},
    {ENAMETOOLONG, FailureCode::kBadFileName, kTooLong},
    {EINVAL, FailureCode::kBadFileName},
    {EILSEQ, FailureCode::kBadFileName},
    {EACCES, FailureCode::kPermissionDenied},
    {EPERM, FailureCode::kPermissionDenied},
    {EISDIR, FailureCode::kPathFileAccess, kIsFolder},
    {EROFS, FailureCode::kPathFileAccess, kOnReadOnlyDisk},
    {ELOOP, FailureCode::kPathFileAccess, kTooManyLinks},
    // A socket, or a device without its driver: no file to read or write.
    {ENXIO, FailureCode::kPathFileAccess, kNoRegularFile},
    {ENODEV, FailureCode::kPathFileAccess, kNoRegularFile},
    {ETXTBSY, FailureCode::kPathFileAccess},
    {EBUSY, FailureCode::kPathFileAccess},
    {EMFILE, FailureCode::kTooManyFiles, kTooManyOpen},
    {ENFILE, FailureCode::kTooManyFiles, kTooManyOpen},
    {ENOSPC, FailureCode::kDiskFull},
    {EDQUOT, FailureCode::kDiskFull},
    {EFBIG, FailureCode::kDiskFull, kSizeLimit},
    {ENOMEM, FailureCode::kOutOfMemory},
};

}  // namespace

Failure ErrnoFailure(int error_number, std::string_view path) {
  return MappedFailure(kErrnoMappings, error_number, path);
}

}  // namespace tessaril
