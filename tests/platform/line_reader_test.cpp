#include "platform/line_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace tessaril {
namespace {

using testing::TempFolder;
using testing::WriteBytes;

constexpr std::size_t kKept = 65;

std::vector<std::string> ReadAllLines(const std::string& path, std::size_t kept = kKept) {
  LineReader reader(kept);
  EXPECT_EQ(reader.Open(path), std::nullopt);
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.ReadLine(line)) lines.emplace_back(line);
  EXPECT_FALSE(reader.failure().has_value());
  return lines;
}

TEST(LineReader, EachLineEndKindEndsALine) {
  struct Case {
    std::string content;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\nb\n", {"a", "b"}},
      {"a\r\nb", {"a", "b"}},
      {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
      {"\r\n", {""}},
      {"\n\n", {"", ""}},
      {"a\n\nb", {"a", "", "b"}},
      {"a\r\r\nb", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},
      {std::string("a\0b\tc\xFF", 6), {std::string("a\0b\tc\xFF", 6)}},
  };
  TempFolder folder;
  for (const auto& [content, lines] : cases) {
    WriteBytes(folder.File("lines"), content);
    EXPECT_EQ(ReadAllLines(folder.File("lines")), lines) << "content: " << content;
  }
}

TEST(LineReader, KeepsOnlyTheFirstColumnsOfLongLines) {
  TempFolder folder;
  const std::string long_line = std::string(64, 'a') + "bc" + std::string(100, 'd');
  WriteBytes(folder.File("lines"), long_line + "\r\nshort");
  EXPECT_EQ(ReadAllLines(folder.File("lines")),
            (std::vector<std::string>{long_line.substr(0, kKept), "short"}));
}

TEST(LineReader, LinesAcrossBufferBoundaries) {
  // The reader's buffer holds one mebibyte; these lines straddle its ends.
  constexpr std::size_t kBuffer = 1 << 20;
  struct Case {
    std::string content;
    std::vector<std::string> lines;
  };
  const std::string head(kBuffer - 1, 'x');
  const std::string kept = head.substr(0, kKept);
  const Case cases[] = {
      // CR as the buffer's last byte, its LF the next buffer's first.
      {head + "\r\nnext", {kept, "next"}},
      {head + "\rnext", {kept, "next"}},
      {head + "\r\r\n", {kept, ""}},
      {head + "\n\nnext", {kept, "", "next"}},
      {"first\n" + std::string(kBuffer - 10, 'y') + "1234567890abc\r\nlast",
       {"first", std::string(kKept, 'y'), "last"}},
      // A line of three buffers without a line end costs only its kept columns.
      {std::string(3 * kBuffer + 5, 'z'), {std::string(kKept, 'z')}},
  };
  TempFolder folder;
  for (const auto& [content, lines] : cases) {
    WriteBytes(folder.File("lines"), content);
    EXPECT_EQ(ReadAllLines(folder.File("lines")), lines);
  }
}

TEST(LineReader, OpenFailuresNameThePath) {
  TempFolder folder;
  ASSERT_EQ(::mkfifo(folder.File("fifo").c_str(), 0600), 0);
  struct Case {
    std::string path;
    FailureCode code;
  };
  const Case cases[] = {
      {"", FailureCode::kBadFileName},
      {folder.File("missing.kat"), FailureCode::kFileNotFound},
      {folder.File("no-folder/velmora.kat"), FailureCode::kPathNotFound},
      {folder.path().string(), FailureCode::kPathFileAccess},
      // Refused at once: waiting for a writer would hang the window.
      {folder.File("fifo"), FailureCode::kPathFileAccess},
      {"/dev/null", FailureCode::kPathFileAccess},
      {std::string(5000, 'n'), FailureCode::kBadFileName},
  };
  for (const auto& [path, code] : cases) {
    LineReader reader(kKept);
    const std::optional<Failure> failure = reader.Open(path);
    ASSERT_TRUE(failure.has_value()) << path;
    EXPECT_EQ(failure->code, code) << path;
    EXPECT_NE(failure->description.find(path), std::string::npos) << failure->description;
  }
}

}  // namespace
}  // namespace tessaril
