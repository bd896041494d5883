#include "platform/failure.h"

#include <cerrno>

namespace tessaril {

std::string_view FailurePhrase(FailureCode code) {
  switch (code) {
    case FailureCode::kOutOfMemory:
      return "Nicht genügend Speicher";
    case FailureCode::kTypeMismatch:
      return "Typen unverträglich";
    case FailureCode::kBadFileName:
      return "Dateiname oder -nummer falsch";
    case FailureCode::kFileNotFound:
      return "Datei nicht gefunden";
    case FailureCode::kDeviceIo:
      return "Geräte-E/A-Fehler";
    case FailureCode::kDiskFull:
      return "Datenträger voll";
    case FailureCode::kPermissionDenied:
      return "Zugriff verweigert";
    case FailureCode::kPathFileAccess:
      return "Fehler beim Zugriff auf Pfad/Datei";
    case FailureCode::kPathNotFound:
      return "Pfad nicht gefunden";
  }
  return "Unbekannter Fehler";
}

Failure PathFailure(FailureCode code, std::string_view path) {
  std::string description(FailurePhrase(code));
  // In quotes, so that an empty path and spaces at its ends can be seen.
  description += ": „";
  description += path;
  description += "“";
  return {code, std::move(description)};
}

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
