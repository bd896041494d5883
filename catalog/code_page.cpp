#include "catalog/code_page.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/utf8.h"

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

char32_t CodePointOf(std::uint8_t byte) {
  return byte >= 0x80 && byte < 0xA0 ? kCodePointsOfBytes80To9F[byte - 0x80u] : byte;
}

// Appends `code_point`, below U+10000 as every character of the code page is, in UTF-8.
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

// The byte that stands for `code_point`; the five unassigned bytes stand for the control
// characters they decode to, so that every byte survives a round trip.
char Cp1252Byte(char32_t code_point) {
  if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
    return static_cast<char>(code_point);
  }
  const auto* found =
      std::find(kCodePointsOfBytes80To9F.begin(), kCodePointsOfBytes80To9F.end(), code_point);
  if (found == kCodePointsOfBytes80To9F.end()) return '?';
  return static_cast<char>(0x80 + (found - kCodePointsOfBytes80To9F.begin()));
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) AppendUtf8(out, CodePointOf(static_cast<std::uint8_t>(c)));
  return out;
}

std::optional<std::size_t> Utf8LineToCp1252(std::string_view line, std::span<char> columns) {
  // The ASCII before the first other byte reads the same either way; where that byte leads no
  // sequence, as "ä" followed by a letter or "€" does in Windows-1252, the line is no UTF-8.
  const std::string_view head = line.substr(0, columns.size());
  std::size_t count = static_cast<std::size_t>(
      std::find_if(head.begin(), head.end(), [](char c) { return c < 0; }) - head.begin());
  if (count == head.size()) return std::nullopt;
  const auto lead = static_cast<std::uint8_t>(line[count]);
  if (lead < 0xC2 || lead > 0xF4 || count + 1 == line.size() ||
      (static_cast<std::uint8_t>(line[count + 1]) & 0xC0) != 0x80) {
    return std::nullopt;
  }
  std::copy_n(line.begin(), count, columns.begin());
  for (line.remove_prefix(count); count < columns.size() && !line.empty(); ++count) {
    const std::optional<char32_t> code_point = TakeUtf8(line);
    if (!code_point) return std::nullopt;
    columns[count] = Cp1252Byte(*code_point);
  }
  return count;
}

}  // namespace tessaril
