#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>

#include "catalog/code_page.h"
#include "catalog/line_parser.h"
#include "catalog/record_writer.h"
#include "tests/support/test_support.h"

namespace tessaril {
namespace {

using testing::CatalogLine;
using testing::ExpectedRecord;

std::string RecordOf(const std::string& line) {
  CatalogEntry entry{};
  EXPECT_TRUE(TakeLine(line, 1, entry).ok()) << line;
  std::array<char, kRecordSize> record{};
  EncodeRecord(entry, record);
  return {record.data(), record.size()};
}

// Every field of every line in the fuzz corpus is checked against an oracle of its own, texts,
// numbers and dates (tests/fuzz/corpus/read_fields), and against its twin in the other encoding;
// here the record's layout is pinned, and which lines are read as UTF-8.
TEST(Records, OldLineGivesItsRecordByteForByte) {
  const std::string line = CatalogLine("  M\xFCller \x80", "Stra\xDF\x65", "0,1", "24.12.2020");
  EXPECT_EQ(RecordOf(line), ExpectedRecord("M\xFCller \x80", "Stra\xDF\x65", 0.1f, 44189));
  EXPECT_EQ(RecordOf(line + "31.02.2020 ignored"), RecordOf(line)) << "past column 65";
  // The byte order without the helper: 0.1 as a single, then day 44189.
  EXPECT_EQ(RecordOf(line).substr(50), std::string("\xCD\xCC\xCC\x3D\0\0\0\0\xA0\x93\xE5\x40", 12));
  // Saved again as UTF-8, a column is a character. Every line here holds a character beyond
  // ASCII before column 56; those that are not well-formed UTF-8 are Windows-1252.
  const std::string utf8 =
      "Müller" + std::string(14, ' ') + "Hauptstraße 12" + std::string(16, ' ') + "3    24.12.1985";
  const std::string date = " 1.1.2000";
  const std::pair<std::string, std::string> lines[] = {
      {utf8, ExpectedRecord("M\xFCller",
                            "Hauptstra\xDF"
                            "e 12",
                            3, 31405)},
      {Cp1252ToUtf8(line), RecordOf(line)},
      // Not in Windows-1252: "?"; and the five bytes it leaves undefined come back as they were.
      {"Ωmega 日本Ā" + std::string(11, ' ') + "" + std::string(25, ' ') + "1" +
           std::string(4, ' ') + "24.12.2020",
       ExpectedRecord("?mega ???", "\x81\x8D\x8F\x90\x9D", 1, 44189)},
      // Overlong, a surrogate, beyond U+10FFFF, a stray continuation byte, a lead byte alone.
      {"\xC0\xAF" + std::string(53, ' ') + date, ExpectedRecord("\xC0\xAF", "", 0, 36526)},
      {"\xED\xA0\x80" + std::string(52, ' ') + date, ExpectedRecord("\xED\xA0\x80", "", 0, 36526)},
      {"\xF4\x90\x80\x80" + std::string(51, ' ') + date,
       ExpectedRecord("\xF4\x90\x80\x80", "", 0, 36526)},
      {"a\xA4" + std::string(53, ' ') + date, ExpectedRecord("a\xA4", "", 0, 36526)},
      {std::string(54, ' ') + "\xC3" + date, ExpectedRecord("", "", 0, 36526)},
      {"\xE2\x82(" + std::string(52, ' ') + date, ExpectedRecord("\xE2\x82(", "", 0, 36526)},
      // A continuation byte after a character, as a lead byte of four.
      {"\xC3\xA4\x80\x90\x80\x80" + std::string(49, ' ') + date,
       ExpectedRecord("\xC3\xA4\x80\x90\x80\x80", "", 0, 36526)},
      // The last character of four bytes and of three, the first of two and of three.
      {"\xF4\x8F\xBF\xBF\xEF\xBF\xBF\xDF\xBF\xE0\xA0\x80" + std::string(51, ' ') + date,
       ExpectedRecord("????", "", 0, 36526)},
  };
  for (const auto& [text, record] : lines) EXPECT_EQ(RecordOf(text), record) << text;
  // Decoded no further than the columns there are room for.
  std::array<char, 3> columns;
  EXPECT_EQ(Utf8LineToCp1252("äbcd", columns), 3u);
  EXPECT_EQ(std::string(columns.data(), columns.size()),
            "\xE4"
            "bc");
}

TEST(Records, ALineWithoutAValidDateIsATypeMismatchNamingLineAndField) {
  // A line that ends before the date field says so after the field.
  const auto mismatch = [](const std::string& line, const std::string& shown,
                           const std::string& why = "") {
    CatalogEntry entry{};
    const Status status = TakeLine(line, 1, entry);
    ASSERT_FALSE(status.ok()) << line;
    EXPECT_EQ(status.failure().code, FailureCode::kTypeMismatch);
    EXPECT_EQ(Describe(status.failure()),
              "Typen unverträglich in Zeile 1, Spalten 56 bis 65: „" + shown + "“" + why);
  };
  const std::string x55(55, 'x');
  for (const std::string field :
       {"x", "24.12.", "31.02.2020", "29.02.1900", "1.13.2020", "0.1.2020", "1.1.2", "1.1.0099",
        "1.1.2020x", "2020-02-30", "99-1-1", "100-1-1", "001.1.2020", "24.12x2020", "24x12.2020",
        "24-12-2020"}) {
    mismatch(x55 + field, field);
  }
  mismatch(x55, "", " (die Zeile endet schon nach Spalte 55)");
  mismatch("Kr\xE4mer", "", " (die Zeile endet schon nach Spalte 6)");
  mismatch("", "", " (die Zeile ist leer)");
  // Every byte where Windows-1252 differs from Latin-1 and its neighbours; the five unassigned
  // ones are kept as they are.
  std::string bytes;
  for (int byte = 0x7F; byte <= 0xA0; ++byte) bytes += static_cast<char>(byte);
  EXPECT_EQ(Cp1252ToUtf8(bytes),
            "\x7F€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F\u0090‘’“”•–—˜™š›œ\u009DžŸ\u00A0");
  mismatch(x55 + "\xFC\x62\x65r\x80\x81", "über€\xC2\x81");  // Shown decoded from Windows-1252.
  // A UTF-8 line counts its columns in characters and shows its field as it stands.
  mismatch("ä" + std::string(54, 'x') + "Ω.1.2020 über", "Ω.1.2020 ü");
  mismatch("Krämer", "", " (die Zeile endet schon nach Spalte 6)");
}

}  // namespace
}  // namespace tessaril
