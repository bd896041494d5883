#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <string>

#include "catalog/line_parser.h"
#include "catalog/record_writer.h"
#include "tests/support/test_support.h"

namespace tessaril {
namespace {

using testing::CatalogLine;
using testing::ExpectedRecord;
constexpr float kInfinity = std::numeric_limits<float>::infinity();

std::string RecordOf(const std::string& line) {
  CatalogEntry entry{};
  EXPECT_TRUE(TakeLine(line, 1, entry).ok()) << line;
  std::array<char, kRecordSize> record{};
  EncodeRecord(entry, record);
  return {record.data(), record.size()};
}

TEST(Records, OldLineGivesItsRecordByteForByte) {
  // Texts: only spaces are trimmed; tabs, NUL, inner spaces and Windows-1252 bytes stay.
  const std::string v20(20, 'v'), w30(30, 'w'), nul("N\0L", 3);
  const std::array<std::string, 4> texts[] = {
      {"   ABC", "Kunde", "ABC", "Kunde"},
      {"A  B", "  X  Y", "A  B", "X  Y"},
      {"\tTab\t", " \t ", "\tTab\t", "\t"},
      {"M\xFCller \x80\xFF ", "Stra\xDF\x65", "M\xFCller \x80\xFF", "Stra\xDF\x65"},
      {nul, "", nul, ""},
      {v20, w30, v20, w30},
      {"a" + std::string(18, ' ') + "b", "", "a" + std::string(18, ' ') + "b", ""},
  };
  for (const auto& [column_1, column_21, text20, text30] : texts) {
    const std::string line = CatalogLine(column_1, column_21, "7", "24.12.2020");
    EXPECT_EQ(RecordOf(line), ExpectedRecord(text20, text30, 7, 44189)) << line;
    EXPECT_EQ(RecordOf(line + "31.02.2020 ignored"), RecordOf(line)) << "past column 65";
  }
  // Numbers: comma or point, blanks ignored anywhere, 0 without a number, rounded to single.
  const std::pair<const char*, float> numbers[] = {
      {"12,5 ", 12.5f},
      {"1.25 ", 1.25f},
      {" 0,95", 0.95f},
      {"1 2,5", 12.5f},
      {"1\t2\n3", 123},
      {"abc", 0},
      {"", 0},
      {"1,2,3", 1.2f},
      {"-,5", -0.5f},
      {"+3", 3},
      {"12345", 12345},
      {"1E39", kInfinity},
      {"-1E39", -kInfinity},
      {"34E37", 34e37f},
      {"35E37", kInfinity},
      {"1,5E2", 150},
      {"1d-2", 0.01f},
      {"1E-99", 0},
      {"1e", 1},
      {"&HfF", 255},
      {"&o17", 15},
      {"&O18", 1},
      {"&X1", 0},
      {"-", 0},
      {"0,1", 0.1f},
  };
  for (const auto& [field, number] : numbers) {
    EXPECT_EQ(RecordOf(CatalogLine("", "", field, "1.1.2000")),
              ExpectedRecord("", "", number, 36526))
        << field;
  }
  // Dates: German short forms, two-digit years around 1930, ISO; padded or not.
  const std::pair<const char*, double> dates[] = {
      {"30.12.1899", 0},       {"31.12.1899", 1},       {"29.02.2000", 36585},
      {"1.2.20", 43862},       {"31.12.29", 47483},     {"1.1.30", 10959},
      {" 2020-2-1", 43862},    {"31.12.9999", 2958465}, {"1.1.0100", -657434},
      {"0100-01-01", -657434}, {"24.12.2020", 44189},
  };
  for (const auto& [field, date] : dates) {
    EXPECT_EQ(RecordOf(CatalogLine("", "", "0", field)), ExpectedRecord("", "", 0, date)) << field;
  }
  // The byte order pinned once without the helper: 0.1 as a single, then day 44189.
  EXPECT_EQ(RecordOf(CatalogLine("", "", "0,1", "24.12.2020")).substr(50),
            std::string("\xCD\xCC\xCC\x3D\0\0\0\0\xA0\x93\xE5\x40", 12));
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
  mismatch(x55 +
               "\xFC"
               "ber\x80\x81",
           "über€\xC2\x81");  // Shown decoded from Windows-1252.
}

}  // namespace
}  // namespace tessaril
