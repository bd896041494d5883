#include "catalog/line_parser.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>

#include "tests/support/catalog_lines.h"

namespace tessaril {
namespace {

using testing::CatalogLine;

constexpr float kInfinity = std::numeric_limits<float>::infinity();

CatalogEntry Take(const std::string& line) {
  CatalogEntry entry{};
  const std::optional<Failure> failure = TakeLine(line, 1, entry);
  EXPECT_EQ(failure, std::nullopt) << "line: " << line;
  return entry;
}

std::string Text(const auto& field) { return std::string(field.begin(), field.end()); }

TEST(TakeLine, TextFieldsAreTrimmedOfSpacesAndPadded) {
  struct Case {
    std::string columns_1_to_20;
    std::string columns_21_to_50;
    std::string text20;
    std::string text30;
  };
  const Case cases[] = {
      {"   ABC", "", "ABC" + std::string(17, ' '), std::string(30, ' ')},
      {"A  B", "  X  Y", "A  B" + std::string(16, ' '), "X  Y" + std::string(26, ' ')},
      {"\tTab\t", " \t ", "\tTab\t" + std::string(15, ' '), "\t" + std::string(29, ' ')},
      {"M\xFCller \x80\xFF ",
       "Stra\xDF"
       "e",
       "M\xFCller \x80\xFF" + std::string(11, ' '),
       "Stra\xDF"
       "e" +
           std::string(24, ' ')},
      {std::string("N\0L", 3), std::string(30, 'w'), std::string("N\0L", 3) + std::string(17, ' '),
       std::string(30, 'w')},
      {std::string(20, 'v'), std::string(30, ' '), std::string(20, 'v'), std::string(30, ' ')},
  };
  for (const auto& [columns_1_to_20, columns_21_to_50, text20, text30] : cases) {
    const CatalogEntry entry =
        Take(CatalogLine(columns_1_to_20, columns_21_to_50, "1", "24.12.2020"));
    EXPECT_EQ(Text(entry.Text20), text20);
    EXPECT_EQ(Text(entry.Text30), text30);
  }
}

TEST(TakeLine, NumberFieldReadsCommaAsDecimalPointAndNarrowsToSingle) {
  struct Case {
    std::string field;
    float expected;
  };
  const Case cases[] = {
      {"12,5 ", 12.5f},     {" 0,95", 0.95f},      {"1.25 ", 1.25f},    {"1 2,5", 12.5f},
      {"     ", 0.0f},      {"abc  ", 0.0f},       {"0,1  ", 0.1f},     {"0.1  ", 0.1f},
      {"1E39 ", kInfinity}, {"-1E39", -kInfinity}, {"34E37", 34e37f},   {"35E37", kInfinity},
      {"1,5E2", 150.0f},    {"1D2  ", 100.0f},     {"&HFF ", 255.0f},   {"1,2,3", 1.2f},
      {"-,5  ", -0.5f},     {"1E-99", 0.0f},       {"12345", 12345.0f}, {"1e", 1.0f},
  };
  for (const auto& [field, expected] : cases) {
    const CatalogEntry entry = Take(CatalogLine("Name", "Text", field, "24.12.2020"));
    EXPECT_EQ(std::bit_cast<std::uint32_t>(entry.Number), std::bit_cast<std::uint32_t>(expected))
        << "field: \"" << field << '"';
  }
}

TEST(TakeLine, DateFieldGivesDaysSince30December1899) {
  struct Case {
    std::string field;
    double expected;
  };
  const Case cases[] = {
      {"30.12.1899", 0},     {"24.12.2020", 44189}, {"29.02.2000", 36585},
      {"1.2.20    ", 43862}, {" 2020-2-1 ", 43862},
  };
  for (const auto& [field, expected] : cases) {
    EXPECT_EQ(Take(CatalogLine("", "", "", field)).Date, expected) << field;
  }
}

TEST(TakeLine, ColumnsPast65ChangeNothing) {
  const std::string line = CatalogLine("Name", "Text", "1,5", "24.12.2020");
  ASSERT_EQ(line.size(), 65u);
  const CatalogEntry plain = Take(line);
  const CatalogEntry longer = Take(line + "31.02.2020 and more");
  EXPECT_EQ(plain.Text20, longer.Text20);
  EXPECT_EQ(plain.Text30, longer.Text30);
  EXPECT_EQ(plain.Number, longer.Number);
  EXPECT_EQ(plain.Date, longer.Date);
}

TEST(TakeLine, ALineWithoutValidDateIsATypeMismatchNamingLineAndField) {
  struct Case {
    std::string line;
    std::string description;
  };
  const Case cases[] = {
      {"", "Typen unverträglich in Zeile 7: „“"},
      {std::string(55, 'x'), "Typen unverträglich in Zeile 7: „“"},
      {std::string(55, 'x') + "24.12.", "Typen unverträglich in Zeile 7: „24.12.“"},
      {CatalogLine("a", "b", "1", "31.02.2020"), "Typen unverträglich in Zeile 7: „31.02.2020“"},
      {CatalogLine("a", "b", "1", "29.02.1900"), "Typen unverträglich in Zeile 7: „29.02.1900“"},
      {CatalogLine("a", "b", "1",
                   "\xFC"
                   "ber"),
       "Typen unverträglich in Zeile 7: „über      “"},
  };
  for (const auto& [line, description] : cases) {
    CatalogEntry entry{};
    const std::optional<Failure> failure = TakeLine(line, 7, entry);
    ASSERT_TRUE(failure.has_value()) << line;
    EXPECT_EQ(failure->code, FailureCode::kTypeMismatch);
    EXPECT_EQ(failure->description, description);
  }
}

}  // namespace
}  // namespace tessaril
