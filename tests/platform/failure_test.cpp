#include <gtest/gtest.h>

#include <cerrno>

#include "platform/posix/errno_failure.h"

namespace tessaril {
namespace {

TEST(FailureFromErrno, MapsSystemErrorsToCodesAndNamesThePath) {
  struct Case {
    int error_number;
    FailureCode code;
    std::string_view description;
  };
  const Case cases[] = {
      {ENOENT, FailureCode::kPathNotFound, "Pfad nicht gefunden: /x/y"},
      {ENOTDIR, FailureCode::kPathNotFound, "Pfad nicht gefunden: /x/y"},
      {ENAMETOOLONG, FailureCode::kBadFileName, "Dateiname oder -nummer falsch: /x/y"},
      {EACCES, FailureCode::kPermissionDenied, "Zugriff verweigert: /x/y"},
      {EISDIR, FailureCode::kPathFileAccess, "Fehler beim Zugriff auf Pfad/Datei: /x/y"},
      {EROFS, FailureCode::kPathFileAccess, "Fehler beim Zugriff auf Pfad/Datei: /x/y"},
      {ENXIO, FailureCode::kPathFileAccess, "Fehler beim Zugriff auf Pfad/Datei: /x/y"},
      {ENOSPC, FailureCode::kDiskFull, "Datenträger voll: /x/y"},
      {EFBIG, FailureCode::kDiskFull, "Datenträger voll: /x/y"},
      {ENOMEM, FailureCode::kOutOfMemory, "Nicht genügend Speicher: /x/y"},
      {EIO, FailureCode::kDeviceIo, "Geräte-E/A-Fehler: /x/y"},
  };
  for (const auto& [error_number, code, description] : cases) {
    const Failure failure = FailureFromErrno(error_number, "/x/y");
    EXPECT_EQ(failure.code, code) << "errno " << error_number;
    EXPECT_EQ(failure.description, description) << "errno " << error_number;
  }
}

}  // namespace
}  // namespace tessaril
