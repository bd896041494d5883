// Takes the input as one old catalogue line, and as the text of a number: no input may crash
// or touch memory it does not own, a line fails only on its date, and blanks in a number change
// nothing wherever they stand.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "catalog/line_parser.h"
#include "platform/number_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  tessaril::CatalogEntry entry{};
  const auto failure = tessaril::TakeLine(text, 7, entry);
  if (failure && failure->code != tessaril::FailureCode::kTypeMismatch) std::abort();

  std::string without_blanks;
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\n') without_blanks += c;
  }
  if (std::bit_cast<std::uint64_t>(tessaril::ReadNumber(text)) !=
      std::bit_cast<std::uint64_t>(tessaril::ReadNumber(without_blanks))) {
    std::fprintf(stderr, "blanks changed the number\n");
    std::abort();
  }
  return 0;
}
