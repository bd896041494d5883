#include "platform/program_directory.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tessaril {
namespace {

TEST(WithTrailingSeparator, AddsTheSeparatorOnlyWhereMissing) {
  struct Case {
    std::string directory;
    char separator;
    std::string expected;
  };
  const Case cases[] = {
      {"/", '/', "/"},
      {"/opt/tools", '/', "/opt/tools/"},
      {"C:\\Tools", '\\', "C:\\Tools\\"},
      {"D:\\", '\\', "D:\\"},
      {"", '/', ""},
  };
  for (const auto& [directory, separator, expected] : cases) {
    EXPECT_EQ(WithTrailingSeparator(directory, separator), expected);
  }
}

TEST(ProgramDirectory, IsTheFolderOfTheRunningExecutable) {
  const std::filesystem::path directory = ProgramDirectory();
  EXPECT_TRUE(directory.is_absolute());
  const std::filesystem::path program = directory / "platform_tests";
  EXPECT_TRUE(std::filesystem::exists(program) ||
              std::filesystem::exists(program.string() + ".exe"));
}

}  // namespace
}  // namespace tessaril
