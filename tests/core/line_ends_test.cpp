#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/line_reader.h"
#include "tests/support/test_support.h"

namespace tessaril {
namespace {

std::vector<std::string> ReadAllLines(const std::string& path, std::size_t kept,
                                      std::size_t buffer_size) {
  LineReader reader(kept, buffer_size);
  EXPECT_TRUE(reader.Open(path).ok());
  std::vector<std::string> lines;
  auto line = reader.ReadLine();
  for (; line.ok() && *line; line = reader.ReadLine()) lines.emplace_back(**line);
  EXPECT_TRUE(line.ok()) << "stopped by a failure";
  return lines;
}

// Buffers of 1 to 12 bytes put every line end, and every cut at the kept columns, at a buffer's
// edge somewhere; the default buffer reads each content whole.
TEST(LineEnds, EveryKindEndsALineWhateverTheBufferSize) {
  struct Case {
    std::string content;
    std::vector<std::string> lines;  // Kept to 4 columns.
  };
  const Case cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\nb\n", {"a", "b"}},
      {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
      {"\r\n", {""}},
      {"\n\n", {"", ""}},
      {"a\r\r\nb", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},
      {"ab\r\n\nnext\r\n", {"ab", "", "next"}},
      {"\r\r\n\n\r\n\r", {"", "", "", "", ""}},
      {"abcdefghij\r\nklmnopq\rxyz\n0123", {"abcd", "klmn", "xyz", "0123"}},
      {std::string("a\0b\t\xFF", 5), {std::string("a\0b\t", 4)}},
      {std::string(40, 'z') + "\r\n.", {"zzzz", "."}},
      {std::string(20, 'y') + "\nab" + std::string(10, 'c') + "\rddddd\n",
       {"yyyy", "abcc", "dddd"}},
      // A UTF-8 byte-order mark opens the file only, and takes no kept column.
      {"\xEF\xBB\xBF", {}},
      {"\xEF\xBB\xBF\r\n", {""}},
      {"\xEF\xBB\xBF"
       "abcdefg\r\n\xEF\xBB\xBF"
       "b",
       {"abcd",
        "\xEF\xBB\xBF"
        "b"}},
      {"\xEF\xBB"
       "abc",
       {"\xEF\xBB"
        "ab"}},
      // An end-of-file byte is no text where it is the file's last byte.
      {"\x1A", {}},
      {"a\r\n\x1A", {"a"}},
      {"abcdef\x1A", {"abcd"}},
      {"a\r\x1A", {"a"}},
      {"\x1A\x1A", {"\x1A"}},
      {"a\x1A\n", {"a\x1A"}},
  };
  testing::TempFolder folder;
  const std::string path = folder.File("lines");
  for (const Case& c : cases) {
    testing::WriteBytes(path, c.content);
    for (std::size_t buffer_size = 1; buffer_size <= 12; ++buffer_size) {
      EXPECT_EQ(ReadAllLines(path, 4, buffer_size), c.lines) << c.content << " / " << buffer_size;
    }
    EXPECT_EQ(ReadAllLines(path, 4, LineReader::kDefaultBufferSize), c.lines) << c.content;
  }
}

// Rewritten as long after its first line was read, so that only its write time tells: lines of
// two versions may have come, and the end of the file is a failure.
TEST(LineEnds, AFileRewrittenWhileReadFailsAtItsEnd) {
  testing::TempFolder folder;
  const std::string path = folder.File("lines");
  testing::WriteBytes(path, "a\nb\nc\n");
  LineReader reader(4, 2);
  ASSERT_TRUE(reader.Open(path).ok());
  auto line = reader.ReadLine();
  testing::WriteBytes(path, "x\ny\nz\n");
  // Moved a day back, as a clock's coarse step may leave both writes the same time.
  std::filesystem::last_write_time(path,
                                   std::filesystem::last_write_time(path) - std::chrono::hours(24));
  while (line.ok() && *line) line = reader.ReadLine();
  const Status status = std::move(line).status();
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(Describe(status.failure()),
            "Geräte-E/A-Fehler: „" + path + "“ wurde während des Lesens verändert");
}

}  // namespace
}  // namespace tessaril
