#include "catalog/record_writer.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

namespace tessaril {
namespace {

template <typename Unsigned>
void StoreLittleEndian(Unsigned value, char* out) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out, &value, sizeof value);
  } else {
    for (std::size_t i = 0; i < sizeof value; ++i) {
      out[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
  }
}

// Records encoded per write call: about a megabyte.
constexpr std::size_t kRecordsPerChunk = 16384;

}  // namespace

void EncodeRecord(const CatalogEntry& entry, std::span<char, kRecordSize> record) {
  char* out = record.data();
  std::memcpy(out, entry.Text20.data(), entry.Text20.size());
  std::memcpy(out + 20, entry.Text30.data(), entry.Text30.size());
  StoreLittleEndian(std::bit_cast<std::uint32_t>(entry.Number), out + 50);
  StoreLittleEndian(std::bit_cast<std::uint64_t>(entry.Date), out + 54);
}

std::optional<Failure> WriteRecords(std::span<const CatalogEntry> entries, AtomicOutputFile& file) {
  const auto chunk = std::make_unique_for_overwrite<char[]>(kRecordsPerChunk * kRecordSize);
  while (!entries.empty()) {
    const std::size_t count = std::min(entries.size(), kRecordsPerChunk);
    for (std::size_t i = 0; i < count; ++i) {
      EncodeRecord(entries[i],
                   std::span<char, kRecordSize>(chunk.get() + i * kRecordSize, kRecordSize));
    }
    if (auto failure = file.Write(std::string_view(chunk.get(), count * kRecordSize))) {
      return failure;
    }
    entries = entries.subspan(count);
  }
  return std::nullopt;
}

}  // namespace tessaril
