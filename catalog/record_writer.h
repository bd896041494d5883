#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "catalog/catalog_entry.h"
#include "platform/atomic_output_file.h"
#include "platform/failure.h"

namespace tessaril {

/// Size of one record of the new catalogue: Text20, Text30, the single and the double, with
/// nothing between them.
inline constexpr std::size_t kRecordSize = 62;

/// Records the writer gathers for one write call, and the bytes they take: about 124 KiB, which
/// stays in the processor's cache beside the line reader's buffer, in whole pages of 4 KiB.
inline constexpr std::size_t kRecordsPerChunk = 2048;
inline constexpr std::size_t kChunkBytes = kRecordsPerChunk * kRecordSize;
static_assert(kChunkBytes % 4096 == 0);

/// Encodes `entry` as its record, its numbers little-endian.
void EncodeRecord(const CatalogEntry& entry, std::span<char, kRecordSize> record);

/// Writes records into the replacement file for a destination in chunks of `kChunkBytes`, so
/// that memory stays the same whatever the catalogue's size. After a failure it takes no
/// further call but its destruction, which leaves the destination as it was.
class RecordWriter {
 public:
  RecordWriter();

  /// Opens the replacement file for `path`; once, as a writer writes one catalogue.
  Status Open(const std::string& path);

  /// Adds `entry` as the next record; fails when a full chunk cannot be written.
  Status Add(const CatalogEntry& entry);

  /// Writes what is pending and puts the file in place of the destination; on failure the
  /// destination is as it was.
  Status Commit();

 private:
  Status WriteChunk();

  AtomicOutputFile file_;
  std::unique_ptr<char[]> chunk_;
  std::size_t used_ = 0;
};

}  // namespace tessaril
