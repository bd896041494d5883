#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/failure.h"

namespace tessaril {

/// Makes a write beyond the process's file size limit fail, to be reported as a full disk, where
/// the system would otherwise end the program. Called once at start-up.
void IgnoreFileSizeSignal();

/// Writes a new file beside the destination and puts it in place of the destination only when
/// it is complete and on disk, so a failure never leaves a half-written destination. Without
/// `Commit`, the destructor removes the new file and the destination stays as it was.
class AtomicOutputFile {
 public:
  AtomicOutputFile() = default;
  ~AtomicOutputFile();
  AtomicOutputFile(const AtomicOutputFile&) = delete;
  AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

  /// Creates the new file for `path`, following symbolic links to the file they name. Fails
  /// when the path is empty or invalid, a folder on it is missing, the destination is a folder,
  /// read-only or no regular file, or its folder refuses a new file.
  std::optional<Failure> Open(const std::string& path);

  /// Appends `bytes`, asking the system to start writing every few megabytes to disk so that
  /// `Commit` has little left to wait for. Fails when the disk is full, the file size limit is
  /// reached, or the device reports an error.
  std::optional<Failure> Write(std::string_view bytes);

  /// Flushes the new file to disk and renames it over the destination. Fails like `Write`;
  /// the destination is then unchanged.
  std::optional<Failure> Commit();

 private:
  std::optional<Failure> ResolveTarget();
  std::optional<Failure> CreateTemporary();
  void Discard();

  std::string path_;                     // As the user gave it, for the notices.
  std::string target_;                   // The regular file that gets replaced.
  std::optional<struct stat> existing_;  // The target as it was, where it exists.
  std::string folder_;
  std::string temporary_;
  int fd_ = -1;
  std::uint64_t written_ = 0;      // Bytes appended so far.
  std::uint64_t written_back_ = 0;  // Bytes already handed to the system's write-back.
};

}  // namespace tessaril
