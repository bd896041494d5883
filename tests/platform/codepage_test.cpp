#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace tessaril {
namespace {

TEST(Cp1252ToUtf8, DecodesUmlautsTheEuroAndTheUndefinedBytes) {
  struct Case {
    std::string_view bytes;
    std::string_view utf8;
  };
  const Case cases[] = {
      {"M\xFCller", "Müller"},
      {"Stra\xDF"
       "e",
       "Straße"},
      {"\x80", "€"},
      {"\x84\x93", "„“"},
      {"\x81", "\xC2\x81"},
      {"\x9F", "Ÿ"},
      {"\xFF", "ÿ"},
      {"", ""},
      {std::string_view("a\0b", 3), std::string_view("a\0b", 3)},
  };
  for (const auto& [bytes, utf8] : cases) {
    EXPECT_EQ(Cp1252ToUtf8(bytes), utf8);
  }
}

}  // namespace
}  // namespace tessaril
