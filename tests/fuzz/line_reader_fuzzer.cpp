// Reads the input as a text file through a buffer of 1 to 16 bytes, so that every line end and
// every cut lands on a buffer's edge, and compares the lines with the plain split of the input.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/line_reader.h"
#include "tests/fuzz/catalog_oracle.h"
#include "tests/fuzz/fuzz_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the buffer size and how many columns a line keeps.
  const std::size_t buffer_size = data[0] % 16u + 1;
  const std::size_t kept_columns = data[0] / 16u + 1;
  const std::string_view content(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string path = (tessaril::fuzz::Folder() / "lines").string();
  tessaril::fuzz::WriteFile(path, content);

  tessaril::LineReader reader(kept_columns, buffer_size);
  tessaril::fuzz::Require(!reader.Open(path), "a regular file opens");
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.ReadLine(line)) lines.emplace_back(line);
  tessaril::fuzz::Require(!reader.failure(), "a regular file reads to its end");

  const std::vector<std::string_view> expected = tessaril::fuzz::SplitLines(content);
  tessaril::fuzz::Require(lines.size() == expected.size(), "as many lines as the plain split");
  for (std::size_t i = 0; i < lines.size(); ++i) {
    tessaril::fuzz::Require(lines[i] == expected[i].substr(0, kept_columns),
                            "each line holds its first columns");
  }
  return 0;
}
