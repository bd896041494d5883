#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/failure.h"

namespace tessaril {

/// The system's part of `AtomicOutputFile`, one for each system (platform/linux/,
/// platform/windows/): the new file beside the destination and the destination it replaces, in
/// the system's own handles, and the native calls of each step. `AtomicOutputFile` calls the
/// steps in their order, each only after the one before succeeded; destroying the replacement
/// removes the new file unless it has taken the destination's name.
class NativeReplacement {
 public:
  virtual ~NativeReplacement() = default;

  /// Finds the file the path reaches and whether it may be replaced; that there is none yet is
  /// no failure.
  virtual Status FindDestination() = 0;
  /// Creates the new file beside the destination, so that the rename stays on one volume.
  virtual Status CreateReplacement() = 0;
  /// Gives the new file the destination's owner, permissions and attributes, where there is one
  /// and the system has not given them at its creation.
  virtual Status TakeOverDestination() { return {}; }
  virtual Status Write(std::string_view bytes) = 0;
  /// Gets every byte written onto the disk.
  virtual Status Flush() = 0;
  /// Gives the new file a name beside the destination, where it has none yet.
  virtual Status Name() { return {}; }
  /// Renames the new file over the destination.
  virtual Status Rename() = 0;
  /// Lets the replaced file go, where the rename has not, once nothing can fail any more.
  virtual void LetReplacedGo() {}
};

/// Code 52 when `place`, where the destination is, names no file: it ends in a separator, "."
/// or "..". `path` is the path as the user gave it, for the notice.
Status CheckNamesFile(const std::filesystem::path& place, std::string_view path);

/// The system's replacement for `path` (UTF-8, usable), as the user gave it for the notices.
/// Touches no file until its first step.
std::unique_ptr<NativeReplacement> NewNativeReplacement(const std::string& path);

}  // namespace tessaril
