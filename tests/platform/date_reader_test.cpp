#include "platform/date_reader.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tessaril {
namespace {

struct DateCase {
  std::string text;
  std::optional<double> expected;
};

TEST(ReadDate, GermanAndIsoFormsGiveDaysSince30December1899) {
  const DateCase cases[] = {
      {"30.12.1899", 0},       {"31.12.1899", 1},       {"01.01.1900", 2},
      {"28.02.1900", 60},      {"01.03.1900", 61},      {"29.02.2000", 36585},
      {"24.12.2020", 44189},   {"1.2.2020", 43862},     {"01.02.20", 43862},
      {"1.2.29", 47150},       {"01.02.30", 10990},     {"01.02.99", 36192},
      {"31.12.9999", 2958465}, {"01.01.0100", -657434}, {"2020-02-01", 43862},
      {"2020-2-1", 43862},     {" 24.12.2020", 44189},  {"24.12.2020 ", 44189},
      {"  1.2.2020  ", 43862},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(ReadDate(text), expected) << "text: \"" << text << '"';
  }
}

TEST(ReadDate, TextThatIsNoDateGivesNoValue) {
  const std::string cases[] = {
      "",           "          ", "29.02.1900",   "31.02.2020",  "31.04.2021",  "00.01.2020",
      "01.00.2020", "01.13.2020", "01.02.020",    "01.02.0099",  "01.02.12345", "001.02.2020",
      "01/02/2020", "01-02-2020", "\t01.02.2020", "01.02.2020x", "01.02.",      "1.2",
      "20-02-01",   "2020.02.01", "2020-02-30",   "24,12,2020",  "abc",
  };
  for (const auto& text : cases) {
    EXPECT_EQ(ReadDate(text), std::nullopt) << "text: \"" << text << '"';
  }
}

}  // namespace
}  // namespace tessaril
