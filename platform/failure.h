#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace tessaril {

/// Failure codes of a conversion run, as its notices show them. They stay fixed: users and
/// their notes know them by number.
enum class FailureCode : std::int32_t {
  kOutOfMemory = 7,        // The run could not get the memory it needs.
  kCancelled = 18,         // The user ended the run; no failure, and told as none.
  kTypeMismatch = 13,      // A date field holds no date.
  kBadFileName = 52,       // Empty path or a name the system refuses.
  kFileNotFound = 53,      // The source file does not exist.
  kDeviceIo = 57,          // Any other read or write error.
  kDiskFull = 61,          // No space left, or the file size limit was reached.
  kTooManyFiles = 67,      // The program or the system has too many files open.
  kPermissionDenied = 70,  // The system refused access, or the folder refuses the new file.
  kPathFileAccess = 75,    // A folder, a read-only or special file where a file was expected.
  kPathNotFound = 76,      // A folder on the path does not exist.
};

/// The box of the window a path came from.
enum class CatalogBox {
  kNone,    // Not known, or no path.
  kSource,  // "alte Katalogdatei".
  kDest,    // "neue Katalogdatei".
};

/// The failure that stopped a run: its code and what it concerns, as `Describe` words it.
struct Failure {
  FailureCode code;
  std::string quoted;                  // The path, or the text of the field, it concerns.
  std::string cause = {};              // What is wrong with it, where the code alone does not say.
  CatalogBox box = CatalogBox::kNone;  // For a path: the box it came from.
  std::int64_t line = 0;               // For a field: its line, and the columns it stands in.
  std::size_t first_column = 0, last_column = 0;
  std::string more = {};  // For a field: which further lines have the same fault.
};

/// What a step that can fail gives back: nothing when it succeeded, else the failure that stopped
/// it. It cannot be dropped unread, so that no failure goes unreported. A step that succeeds,
/// as nearly every one does, costs a pointer: the failure is only made where there is one.
class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(Failure failure)  // NOLINT: a failure is a status.
      : failure_(std::make_unique<Failure>(std::move(failure))) {}

  bool ok() const { return failure_ == nullptr; }
  /// Only when not `ok()`.
  const Failure& failure() const& { return *failure_; }
  Failure&& failure() && { return std::move(*failure_); }

 private:
  std::unique_ptr<Failure> failure_;
};

/// A value, or the failure that kept a step from giving one; as `Status`, it cannot be dropped
/// unread.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}             // NOLINT: a value is a result.
  Result(Failure failure) : status_(std::move(failure)) {}  // NOLINT: so is a failure,
  Result(Status status) : status_(std::move(status)) {}     // NOLINT: given as a status.

  bool ok() const { return status_.ok(); }
  /// Only when `ok()`.
  T& operator*() { return value_; }
  T* operator->() { return &value_; }
  /// The failure, or success.
  Status status() && { return std::move(status_); }

 private:
  T value_{};
  Status status_;
};

/// The fixed German phrase a description of `code` begins with.
std::string_view FailurePhrase(FailureCode code);

/// The German description of `failure` shown to the user:
/// "<phrase>: [<box> ]„<path>“[ <cause>]" for a path, and
/// "<phrase> in Zeile <line>, Spalten <first> bis <last>: „<text>“[ <cause>][; <more>]" for a
/// field. Always valid UTF-8: a byte of a path that is none shows as U+FFFD.
std::string Describe(const Failure& failure);

/// A failure that concerns the file at `path`, and what the system told about it, if anything.
Failure PathFailure(FailureCode code, std::string_view path, std::string_view cause = {});

/// How one error number of the system (errno, GetLastError) maps to a failure.
struct ErrorMapping {
  long error;
  FailureCode code;
  std::string_view cause = {};
};

/// The failure `error` maps to in `table`, concerning `path`; a device error where it has none.
Failure MappedFailure(std::span<const ErrorMapping> table, long error, std::string_view path);

// What the system tells about a path, worded the same on every system so that a notice says
// what to mend.
inline constexpr std::string_view kNotGiven = "ist nicht angegeben";
inline constexpr std::string_view kHoldsNul = "enthält ein Nullzeichen";
inline constexpr std::string_view kTooLong = "ist zu lang";
inline constexpr std::string_view kIsFolder = "ist ein Ordner";
inline constexpr std::string_view kNoRegularFile = "ist keine reguläre Datei";
inline constexpr std::string_view kIsReadOnly = "ist schreibgeschützt";
inline constexpr std::string_view kInUse = "wird von einem anderen Programm benutzt";
inline constexpr std::string_view kOnReadOnlyDisk =
    "liegt auf einem schreibgeschützten Datenträger";
inline constexpr std::string_view kFolderMissing = "liegt in einem fehlenden Ordner";
inline constexpr std::string_view kUnderFile = "liegt in einer Datei statt in einem Ordner";
inline constexpr std::string_view kTooManyLinks = "führt über zu viele Verknüpfungen";
inline constexpr std::string_view kNoFileName = "nennt keinen Dateinamen";
inline constexpr std::string_view kSizeLimit = "erreicht die höchste erlaubte Dateigröße";
inline constexpr std::string_view kTooManyOpen =
    "lässt sich nicht öffnen, da zu viele Dateien offen sind";
inline constexpr std::string_view kSystemFile =
    "gehört zum System (/proc, /sys) und ist keine Katalogdatei";
inline constexpr std::string_view kDeleted = "verweist auf eine gelöschte Datei";
inline constexpr std::string_view kMountPoint =
    "ist ein Einhängepunkt und lässt sich nicht ersetzen";
inline constexpr std::string_view kProtected = "ist gegen Änderungen geschützt (chattr)";

/// The cause of a destination's failure where its folder, as the notices name it, refuses the
/// new file: "liegt im Ordner „<folder>“, der <refusal>".
std::string InFolderThat(std::string_view folder, std::string_view refusal);
inline constexpr std::string_view kAllowsNoNewFiles = "keine neuen Dateien erlaubt";
inline constexpr std::string_view kOnlyAppends = "nur das Anfügen erlaubt";
inline constexpr std::string_view kCannotBeRead = "sich nicht lesen lässt";
inline constexpr std::string_view kKeepsOthersFiles = "nur ihrem Besitzer erlaubt, sie zu ersetzen";
/// A link that points into the missing folder `folder`.
std::string PointsIntoMissingFolder(std::string_view folder);

/// Code 52 for a path no system call can take as it is: empty, or holding a NUL that would cut
/// it short, saying which. None for any other path.
Status CheckUsablePath(std::string_view path);

}  // namespace tessaril
