#include "platform/codepage.h"

#include <array>
#include <cstdint>

namespace tessaril {
namespace {

// Code points of the bytes 0x80 to 0x9F, printable characters but for five unassigned bytes
// where Latin-1 has only control characters; the rest of the upper half is Latin-1.
constexpr std::array kCodePointsOfBytes80To9F = std::to_array<char16_t>(
    {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
     0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
     0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178});
// One for each byte: an entry left out would shift every later one.
static_assert(kCodePointsOfBytes80To9F.size() == 0x20);

void AppendUtf8(std::string& out, char32_t code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (byte >= 0x80 && byte < 0xA0) {
      AppendUtf8(out, kCodePointsOfBytes80To9F[byte - 0x80u]);
    } else {
      AppendUtf8(out, byte);
    }
  }
  return out;
}

}  // namespace tessaril
