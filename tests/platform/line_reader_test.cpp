#include "platform/line_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace tessaril {
namespace {

using testing::TempFolder;
using testing::WriteBytes;

constexpr std::size_t kKept = 65;

std::vector<std::string> ReadAllLines(const std::string& path, std::size_t kept = kKept,
                                      std::size_t buffer_size = LineReader::kDefaultBufferSize) {
  LineReader reader(kept, buffer_size);
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

// The lines of `content` split the plain way, each cut to `kept` bytes.
std::vector<std::string> SplitPlainly(std::string_view content, std::size_t kept) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < content.size(); ++i) {
    if (content[i] != '\r' && content[i] != '\n') continue;
    lines.emplace_back(content.substr(start, std::min(kept, i - start)));
    if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < content.size()) lines.emplace_back(content.substr(start, kept));
  return lines;
}

TEST(LineReader, SameLinesWhateverTheBufferSize) {
  // Small buffers put every line end and every cut at a buffer's edge somewhere.
  const std::string contents[] = {
      "ab\r\ncd\r\n\nef",
      "ab\r\n\nnext\r\n",
      "\r\r\n\n\r\n\r",
      "x\r",
      "abcdefghij\r\nklmnopqrstuvw\rxyz\n0123456789",
      "a\n\rb\r\r\nc\n\n",
      std::string(40, 'z'),
  };
  constexpr std::size_t kSmallKept = 4;
  TempFolder folder;
  for (const std::string& content : contents) {
    WriteBytes(folder.File("lines"), content);
    const auto expected = SplitPlainly(content, kSmallKept);
    for (std::size_t buffer_size = 1; buffer_size <= 12; ++buffer_size) {
      EXPECT_EQ(ReadAllLines(folder.File("lines"), kSmallKept, buffer_size), expected)
          << "content: " << content << ", buffer of " << buffer_size;
    }
  }
}

TEST(LineReader, AHugeLineCostsOnlyItsKeptColumns) {
  TempFolder folder;
  WriteBytes(folder.File("lines"),
             std::string(3 * LineReader::kDefaultBufferSize + 5, 'z') + "\n.");
  EXPECT_EQ(ReadAllLines(folder.File("lines")),
            (std::vector<std::string>{std::string(kKept, 'z'), "."}));
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
