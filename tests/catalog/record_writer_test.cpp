#include "catalog/record_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <string>

#include "catalog/line_parser.h"
#include "tests/support/catalog_lines.h"
#include "tests/support/temp_folder.h"

namespace tessaril {
namespace {

using testing::CatalogLine;

std::string Record(const CatalogEntry& entry) {
  std::array<char, kRecordSize> record{};
  EncodeRecord(entry, record);
  return std::string(record.data(), record.size());
}

std::string RecordOfLine(const std::string& line) {
  CatalogEntry entry{};
  EXPECT_EQ(TakeLine(line, 1, entry), std::nullopt);
  return Record(entry);
}

TEST(EncodeRecord, LineToRecordByteExact) {
  struct Case {
    std::string line;
    std::string record;
  };
  const std::string spaces(30, ' ');
  const Case cases[] = {
      {CatalogLine("   ABC", "Kunde", "0,1", "30.12.1899"),
       "ABC" + spaces.substr(0, 17) + "Kunde" + spaces.substr(0, 25) +
           std::string("\xCD\xCC\xCC\x3D\0\0\0\0\0\0\0\0", 12)},
      {CatalogLine("M\xFCller",
                   "Hauptstra\xDF"
                   "e 1",
                   " 0,95", "01.01.1900"),
       "M\xFCller" + spaces.substr(0, 14) +
           "Hauptstra\xDF"
           "e 1" +
           spaces.substr(0, 17) + std::string("\x33\x33\x73\x3F\0\0\0\0\0\0\0\x40", 12)},
      {CatalogLine("Inf", "", "1E39", "24.12.2020"),
       "Inf" + spaces.substr(0, 17) + spaces +
           std::string("\0\0\x80\x7F\0\0\0\0\xA0\x93\xE5\x40", 12)},
      {CatalogLine("Neg", "", "-2", "2020-12-24"),
       "Neg" + spaces.substr(0, 17) + spaces +
           std::string("\0\0\0\xC0\0\0\0\0\xA0\x93\xE5\x40", 12)},
  };
  for (const auto& [line, record] : cases) {
    ASSERT_EQ(record.size(), kRecordSize);
    EXPECT_EQ(RecordOfLine(line), record) << "line: " << line;
  }
}

TEST(WriteRecords, WritesOneRecordPerEntryAcrossChunks) {
  testing::TempFolder folder;
  std::vector<CatalogEntry> entries(40'000);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string name = "E" + std::to_string(i);
    ASSERT_EQ(
        TakeLine(CatalogLine(name, "", std::to_string(i % 1000), "24.12.2020"), 1, entries[i]),
        std::nullopt);
  }
  AtomicOutputFile file;
  ASSERT_EQ(file.Open(folder.File("out.kat")), std::nullopt);
  ASSERT_EQ(WriteRecords(entries, file), std::nullopt);
  ASSERT_EQ(file.Commit(), std::nullopt);
  const std::string bytes = testing::ReadBytes(folder.File("out.kat"));
  ASSERT_EQ(bytes.size(), entries.size() * kRecordSize);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    ASSERT_EQ(bytes.substr(i * kRecordSize, kRecordSize), Record(entries[i])) << "entry " << i;
  }
}

}  // namespace
}  // namespace tessaril
