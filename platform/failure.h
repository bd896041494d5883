#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessaril {

/// Failure codes of a conversion run. The numbers are the ones users know from the older
/// program's notices, so they stay fixed.
enum class FailureCode : std::int32_t {
  kOutOfMemory = 7,        // The run could not get the memory it needs.
  kTypeMismatch = 13,      // A date field holds no date.
  kBadFileName = 52,       // Empty path or a name the system refuses.
  kFileNotFound = 53,      // The source file does not exist.
  kDeviceIo = 57,          // Any other read or write error.
  kDiskFull = 61,          // No space left, or the file size limit was reached.
  kPermissionDenied = 70,  // The system refused access for lack of permission.
  kPathFileAccess = 75,    // A folder, a read-only or special file where a file was expected.
  kPathNotFound = 76,      // A folder on the path does not exist.
};

/// The failure that stopped a run: its code and the German description shown to the user.
struct Failure {
  FailureCode code;
  std::string description;
};

/// The fixed German phrase a description of `code` begins with.
std::string_view FailurePhrase(FailureCode code);

/// A failure whose description names the file it concerns: "<phrase>: „<path>“".
Failure PathFailure(FailureCode code, std::string_view path);

/// The same, followed by what is wrong with the file: "<phrase>: „<path>“ <cause>".
Failure PathFailure(FailureCode code, std::string_view path, std::string_view cause);

/// Code 52 for a path no system call can take as it is: empty, or holding a NUL that would cut
/// it short. None for any other path.
std::optional<Failure> UnusablePathFailure(std::string_view path);

}  // namespace tessaril
