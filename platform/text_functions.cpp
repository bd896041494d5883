#include "platform/text_functions.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace tessaril {
namespace {

constexpr std::uint64_t kEightSpaces = 0x2020202020202020;

// How many of the eight bytes that end at `end` are spaces in a row, counted from the last.
std::size_t SpacesEndingAt(const char* end) {
  std::uint64_t word;
  std::memcpy(&word, end - 8, sizeof word);
  const std::uint64_t differs = word ^ kEightSpaces;
  // The last byte is the word's most significant on a little-endian machine.
  const int same_bits = std::endian::native == std::endian::little ? std::countl_zero(differs)
                                                                   : std::countr_zero(differs);
  return static_cast<std::size_t>(same_bits / 8);
}

}  // namespace

std::string_view TrimSpaces(std::string_view text) {
  // Catalogue fields are mostly padding, so the trailing spaces go up to eight at a time.
  std::size_t end = text.size();
  while (end >= 8) {
    const std::size_t spaces = SpacesEndingAt(text.data() + end);
    end -= spaces;
    if (spaces < 8) break;
  }
  while (end > 0 && text[end - 1] == ' ') --end;
  std::size_t begin = 0;
  while (begin < end && text[begin] == ' ') ++begin;
  return text.substr(begin, end - begin);
}

}  // namespace tessaril
