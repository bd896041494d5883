#include "platform/failure.h"

#include "platform/utf8.h"

namespace tessaril {

std::string_view FailurePhrase(FailureCode code) {
  switch (code) {
    case FailureCode::kOutOfMemory:
      return "Nicht genügend Speicher";
    case FailureCode::kCancelled:
      return "Benutzerunterbrechung";
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
    case FailureCode::kTooManyFiles:
      return "Zu viele Dateien";
    case FailureCode::kPermissionDenied:
      return "Zugriff verweigert";
    case FailureCode::kPathFileAccess:
      return "Fehler beim Zugriff auf Pfad/Datei";
    case FailureCode::kPathNotFound:
      return "Pfad nicht gefunden";
  }
  return "Unbekannter Fehler";
}

std::string Describe(const Failure& failure) {
  std::string text(FailurePhrase(failure.code));
  if (failure.line > 0) {
    text += " in Zeile " + std::to_string(failure.line) + ", Spalten " +
            std::to_string(failure.first_column) + " bis " + std::to_string(failure.last_column);
  }
  text += ": ";
  switch (failure.box) {
    case CatalogBox::kNone:
      break;
    case CatalogBox::kSource:
      text += "alte Katalogdatei ";
      break;
    case CatalogBox::kDest:
      text += "neue Katalogdatei ";
      break;
  }
  // In quotes, so that an empty path and spaces at its ends can be seen.
  text += "„" + failure.quoted + "“";
  if (!failure.cause.empty()) text += ' ' + failure.cause;
  if (!failure.more.empty()) text += "; " + failure.more;
  return ValidUtf8(text);
}

Failure PathFailure(FailureCode code, std::string_view path, std::string_view cause) {
  return {code, std::string(path), std::string(cause)};
}

Failure MappedFailure(std::span<const ErrorMapping> table, long error, std::string_view path) {
  for (const ErrorMapping& mapping : table) {
    if (mapping.error == error) return PathFailure(mapping.code, path, mapping.cause);
  }
  return PathFailure(FailureCode::kDeviceIo, path);
}

std::string InFolderThat(std::string_view folder, std::string_view refusal) {
  return "liegt im Ordner „" + std::string(folder) + "“, der " + std::string(refusal);
}

std::string PointsIntoMissingFolder(std::string_view folder) {
  return "verweist in den fehlenden Ordner „" + std::string(folder) + "“";
}

Status CheckUsablePath(std::string_view path) {
  if (path.empty()) return PathFailure(FailureCode::kBadFileName, path, kNotGiven);
  if (path.find('\0') == std::string_view::npos) return {};
  return PathFailure(FailureCode::kBadFileName, path, kHoldsNul);
}

}  // namespace tessaril
