#pragma once

#include <string>
#include <string_view>

#include "platform/failure.h"
#include "platform/native_files.h"

namespace tessaril {

/// Makes a write beyond the process's file size limit fail, to be reported as a full disk, where
/// the system would otherwise end the program. Called once at start-up; Windows has no such
/// signal, so there it does nothing.
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

  /// Creates the new file for `path` (UTF-8) beside the file its links reach. Fails when the
  /// path is empty or invalid, a folder on it is missing, the destination is a folder, read-only,
  /// a device or no regular file, or no rename could replace it, or its folder refuses a new
  /// file; a file the user may not write is refused too.
  Status Open(const std::string& path);

  /// Appends `bytes`. Fails when the disk is full, the file size limit is reached, or the device
  /// reports an error.
  Status Write(std::string_view bytes);

  /// Flushes the new file to disk and puts it in the destination's place. Fails like `Write`;
  /// the destination is then unchanged.
  Status Commit();

 private:
  native::Replacement replacement_;
};

}  // namespace tessaril
