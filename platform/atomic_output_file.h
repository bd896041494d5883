#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/failure.h"

namespace tessaril {

class NativeReplacement;

/// Makes a write beyond the process's file size limit fail, to be reported as a full disk, where
/// the system would otherwise end the program. Called once at start-up; Windows has no such
/// signal, so there it does nothing.
void IgnoreFileSizeSignal();

/// Writes a new file beside the destination and puts it in place of the destination only when
/// it is complete and on disk, so a failure never leaves a half-written destination. Without
/// `Commit`, the destructor removes the new file and the destination stays as it was.
class AtomicOutputFile {
 public:
  AtomicOutputFile();
  ~AtomicOutputFile();
  AtomicOutputFile(const AtomicOutputFile&) = delete;
  AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

  /// Creates the new file for `path` (UTF-8), following symbolic links to the file they name on
  /// Linux. Fails when the path is empty or invalid, a folder on it is missing, the
  /// destination is a folder, read-only, a device or no regular file, or its folder refuses a
  /// new file.
  Status Open(const std::string& path);

  /// Appends `bytes`. On Linux, what is written is flushed every few megabytes from a second
  /// thread, so that `Commit` has little left to wait for. Fails when the disk is full, the file
  /// size limit is reached, or the device reports an error.
  Status Write(std::string_view bytes);

  /// Flushes the new file to disk and renames it over the destination. Fails like `Write`;
  /// the destination is then unchanged. On Linux the replaced file is let go on a second thread,
  /// as freeing a large file's blocks takes a while; the destructor waits for it.
  Status Commit();

 private:
  // The new file and the destination it replaces, in the system's own calls.
  std::unique_ptr<NativeReplacement> replacement_;
};

}  // namespace tessaril
