#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "catalog/catalog_entry.h"
#include "platform/atomic_output_file.h"
#include "platform/failure.h"

namespace tessaril {

/// Size of one record of the new catalogue: Text20, Text30, the single and the double, with
/// nothing between them.
inline constexpr std::size_t kRecordSize = 62;

/// Encodes `entry` as its record, numbers little-endian whatever the host.
void EncodeRecord(const CatalogEntry& entry, std::span<char, kRecordSize> record);

/// Writes every entry, in order, as a record and nothing else. Fails like the file's `Write`.
std::optional<Failure> WriteRecords(std::span<const CatalogEntry> entries, AtomicOutputFile& file);

}  // namespace tessaril
