// Takes the input as one old catalogue line and encodes the entry, comparing every field of the
// record with what the line's columns say it must hold.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "catalog/catalog_entry.h"
#include "catalog/line_parser.h"
#include "catalog/record_writer.h"
#include "platform/failure.h"
#include "tests/fuzz/catalog_oracle.h"

namespace {

using tessaril::fuzz::Columns;
using tessaril::fuzz::Require;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const std::optional<double> date = tessaril::fuzz::ExpectedDate(Columns(line, 56, 10));

  tessaril::CatalogEntry entry{};
  const std::optional<tessaril::Failure> failure = tessaril::TakeLine(line, 7, entry);
  if (failure) {
    Require(failure->code == tessaril::FailureCode::kTypeMismatch, "a line fails only on its date");
    Require(!date, "a valid date is taken");
    Require(failure->description.find("Zeile 7") != std::string::npos, "the line number is named");
    return 0;
  }
  Require(date.has_value(), "a field that is no date fails");

  std::array<char, tessaril::kRecordSize> record{};
  tessaril::EncodeRecord(entry, record);
  const std::string_view bytes(record.data(), record.size());
  tessaril::fuzz::CheckRecord(std::string_view(record.data(), record.size()), line);
  return 0;
}
