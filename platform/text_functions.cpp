#include "platform/text_functions.h"

#include <cstdint>
#include <cstring>

namespace tessaril {
namespace {

constexpr std::uint64_t kEightSpaces = 0x2020202020202020;

bool EightSpacesAt(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word == kEightSpaces;
}

}  // namespace

std::string_view TrimSpaces(std::string_view text) {
  // Catalogue fields are mostly padding, so the trailing spaces go eight at a time.
  std::size_t end = text.size();
  while (end >= 8 && EightSpacesAt(text.data() + end - 8)) end -= 8;
  while (end > 0 && text[end - 1] == ' ') --end;
  std::size_t begin = 0;
  while (begin < end && text[begin] == ' ') ++begin;
  return text.substr(begin, end - begin);
}

}  // namespace tessaril
