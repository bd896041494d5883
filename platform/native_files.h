#pragma once

// The system's own file calls, for the line reader and the replacing output file, which hold
// the order of the steps and every policy. Each system defines these in its own files
// (platform/linux/, platform/windows/), with its native calls only.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/failure.h"

namespace tessaril::native {

/// A file or folder the system has open: a descriptor, or on Windows a HANDLE.
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

/// What the system tells of a file, for the policies of the services.
struct FileFacts {
  enum class Kind { kFile, kFolder, kOther } kind = Kind::kFile;  // kOther: a device, a FIFO...
  bool read_only = false;    // No write permission bit, or the read-only attribute.
  bool writable = true;      // The user may write it, as far as the system tells beforehand.
  bool system = false;       // Of /proc or /sys, made up as it is read.
  bool deleted = false;      // Reached through a descriptor, its last name gone.
  bool append_only = false;  // Takes only appended bytes, or a folder only new names (chattr).
  bool immutable = false;    // Takes no change at all (chattr).
  bool mount_point = false;  // Mounted in its place.
  // What tells that it changed: its size and the times of its last write and of its last change
  // of any kind, in the system's own units.
  std::uint64_t size = 0;
  std::int64_t written = 0, changed = 0;
};

/// What the system tells of the folder a destination is in, as far as it tells beforehand.
struct FolderFacts {
  bool system = false;              // Of /proc or /sys.
  bool only_appends = false;        // New names only, none removed or replaced (chattr +a).
  bool takes_files = true;          // The user may make new files in it.
  bool readable = true;             // The user may list it, as flushing it needs.
  bool keeps_others_files = false;  // Sticky: only a file's owner may replace it.
};

/// A new file beside a destination, and the destination it replaces, as the system's calls
/// need them.
struct Replacement {
  std::string path;                   // As the user gave it, for the notices.
  Handle folder = kNoHandle;          // Linux: the destination's folder, held open.
  std::filesystem::path place;        // The destination: its name in `folder`, or its whole path.
  std::string folder_shown;           // Its folder, as the notices name it.
  std::optional<FileFacts> existing;  // The file replaced, where there is one.
  FolderFacts folder_facts;
  Handle file = kNoHandle;          // The new file,
  std::filesystem::path temporary;  // its hidden name beside the destination, once it has one,
  bool vanishes = false;            // whether the system removes it as it is closed,
  std::uint64_t written = 0;        // and how many bytes it holds.
};

// Reading a file.

/// Opens `path` (UTF-8, usable) for reading. A FIFO without a writer is refused, not waited for.
Result<Handle> OpenForReading(const std::string& path);
/// What the system tells of the open `file`.
Result<FileFacts> FactsOf(Handle file, const std::string& path);
/// Reads up to `buffer.size()` bytes; 0 at the end of the file.
Result<std::size_t> Read(Handle file, std::span<char> buffer, const std::string& path);
void Close(Handle file);
/// Whether `path` names a folder that is there.
bool IsFolder(const std::filesystem::path& path);

// Replacing a file; each step only after the one before it succeeded.

/// Finds the file `r.path` reaches through its links, or where a new one goes, and what the
/// system tells of it and of its folder: `place`, `folder`, `folder_shown`, `existing` and
/// `folder_facts`.
Status FindDestination(Replacement& r);
/// Creates `r.file` beside the destination, with the destination's owner, permissions and
/// attributes where there is one, readable by none but its owner until it has them.
Status CreateReplacement(Replacement& r);
/// Appends `bytes` to `r.file`.
Status Write(Replacement& r, std::string_view bytes);
/// Gets every byte written onto the disk.
Status Flush(Replacement& r);
/// Puts `r.file` in the destination's place and closes it.
Status PutInPlace(Replacement& r);
/// Lets go of all `r` holds; a new file not in place goes.
void Abandon(Replacement& r);

}  // namespace tessaril::native
