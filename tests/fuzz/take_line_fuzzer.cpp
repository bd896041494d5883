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

template <typename Unsigned>
Unsigned LoadLittleEndian(const char* bytes) {
  Unsigned value = 0;
  for (std::size_t i = 0; i < sizeof(Unsigned); ++i) {
    value |= static_cast<Unsigned>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  }
  return value;
}

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
  Require(bytes.substr(0, 20) == tessaril::fuzz::ExpectedText(line, 1, 20),
          "record bytes 0-19 are columns 1-20, trimmed and padded");
  Require(bytes.substr(20, 30) == tessaril::fuzz::ExpectedText(line, 21, 30),
          "record bytes 20-49 are columns 21-50, trimmed and padded");
  if (const auto number = tessaril::fuzz::ExpectedSimpleNumber(Columns(line, 51, 5))) {
    Require(std::bit_cast<float>(LoadLittleEndian<std::uint32_t>(record.data() + 50)) == *number,
            "record bytes 50-53 hold the number of columns 51-55");
  }
  Require(std::bit_cast<double>(LoadLittleEndian<std::uint64_t>(record.data() + 54)) == *date,
          "record bytes 54-61 hold the date of columns 56-65");
  return 0;
}
