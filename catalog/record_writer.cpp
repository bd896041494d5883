#include "catalog/record_writer.h"

#include <bit>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

namespace tessaril {
namespace {

// The record's numbers are little-endian, as this host's own: their bytes are copied as they are.
static_assert(std::endian::native == std::endian::little);

// Each field follows the one before it, with no padding between them.
constexpr std::size_t kText30Offset = sizeof CatalogEntry::Text20;
constexpr std::size_t kNumberOffset = kText30Offset + sizeof CatalogEntry::Text30;
constexpr std::size_t kDateOffset = kNumberOffset + sizeof CatalogEntry::Number;
static_assert(kText30Offset == 20);
static_assert(kNumberOffset == 50);
static_assert(kDateOffset == 54);
static_assert(kDateOffset + sizeof CatalogEntry::Date == kRecordSize);

}  // namespace

void EncodeRecord(const CatalogEntry& entry, std::span<char, kRecordSize> record) {
  char* out = record.data();
  std::memcpy(out, entry.Text20.data(), entry.Text20.size());
  std::memcpy(out + kText30Offset, entry.Text30.data(), entry.Text30.size());
  std::memcpy(out + kNumberOffset, &entry.Number, sizeof entry.Number);
  std::memcpy(out + kDateOffset, &entry.Date, sizeof entry.Date);
}

RecordWriter::RecordWriter() : chunk_(std::make_unique_for_overwrite<char[]>(kChunkBytes)) {}

Status RecordWriter::Open(const std::string& path) { return file_.Open(path); }

Status RecordWriter::Add(const CatalogEntry& entry) {
  EncodeRecord(entry, std::span<char, kRecordSize>(chunk_.get() + used_, kRecordSize));
  used_ += kRecordSize;
  if (used_ < kChunkBytes) return {};
  return WriteChunk();
}

Status RecordWriter::WriteChunk() {
  const std::size_t pending = std::exchange(used_, 0);
  return file_.Write(std::string_view(chunk_.get(), pending));
}

Status RecordWriter::Commit() {
  if (Status status = WriteChunk(); !status.ok()) return status;
  return file_.Commit();
}

}  // namespace tessaril
