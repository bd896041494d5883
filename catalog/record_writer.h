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

/// Records the writer gathers for one write call: about a megabyte.
inline constexpr std::size_t kRecordsPerChunk = 16384;

/// Encodes `entry` as its record, numbers little-endian whatever the host.
void EncodeRecord(const CatalogEntry& entry, std::span<char, kRecordSize> record);

/// Writes records into the replacement file for a destination in chunks of about a megabyte,
/// so that memory stays the same whatever the catalogue's size. After its first failure it
/// drops every further record and keeps that failure for `Commit`, so that the caller can read
/// on and report a bad line first.
class RecordWriter {
 public:
  RecordWriter();

  /// Opens the replacement file for `path`; a failure is kept for `Commit`.
  void Open(const std::string& path);

  /// Adds `entry` as the next record.
  void Add(const CatalogEntry& entry);

  /// Writes what is pending and puts the file in place of the destination. Gives the first
  /// failure of opening, writing or replacing; the destination is then as it was. The replaced
  /// file is let go in the background until the writer is destroyed.
  [[nodiscard]] std::optional<Failure> Commit();

 private:
  void WriteChunk();

  AtomicOutputFile file_;
  std::optional<Failure> failure_;
  std::unique_ptr<char[]> chunk_;
  std::size_t used_ = 0;
};

}  // namespace tessaril
