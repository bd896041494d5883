// Reads the input as a text file through a buffer of 1 to 16 bytes, so that every line end and
// every cut lands on a buffer's edge, and compares the lines with the plain split of the input.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/line_reader.h"
#include "tests/support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const tessaril::testing::TempFolder folder;
  if (size == 0) return 0;
  // The first byte picks the buffer size and how many columns a line keeps.
  const std::size_t buffer_size = data[0] % 16u + 1, kept = data[0] / 16u + 1;
  const std::string content(reinterpret_cast<const char*>(data) + 1, size - 1);
  tessaril::testing::WriteBytes(folder.File("lines"), content);
  tessaril::LineReader reader(kept, buffer_size);
  std::vector<std::string> lines;
  if (reader.Open(folder.File("lines"))) std::abort();
  for (std::string_view line; reader.ReadLine(line);) lines.emplace_back(line);
  if (reader.failure() || lines != tessaril::testing::SplitLines(content, kept)) std::abort();
  return 0;
}
