#include "platform/atomic_output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "tests/support/temp_folder.h"

namespace tessaril {
namespace {

namespace fs = std::filesystem;
using testing::FolderNames;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

std::optional<Failure> WriteWhole(const std::string& path, std::string_view bytes) {
  AtomicOutputFile file;
  if (auto failure = file.Open(path)) return failure;
  if (auto failure = file.Write(bytes)) return failure;
  return file.Commit();
}

TEST(AtomicOutputFile, CommitReplacesTheWholeDestination) {
  TempFolder folder;
  const std::string dest = folder.File("velmora-neu.kat");
  WriteBytes(dest, std::string(1000, 'o'));
  ASSERT_EQ(WriteWhole(dest, "new"), std::nullopt);
  EXPECT_EQ(ReadBytes(dest), "new");
  EXPECT_EQ(FolderNames(folder.path()), std::vector<std::string>{"velmora-neu.kat"});
}

TEST(AtomicOutputFile, WithoutCommitTheDestinationStaysAndNothingIsLeft) {
  TempFolder folder;
  const std::string dest = folder.File("velmora-neu.kat");
  WriteBytes(dest, "old");
  {
    AtomicOutputFile file;
    ASSERT_EQ(file.Open(dest), std::nullopt);
    ASSERT_EQ(file.Write("new records"), std::nullopt);
  }
  EXPECT_EQ(ReadBytes(dest), "old");
  EXPECT_EQ(FolderNames(folder.path()), std::vector<std::string>{"velmora-neu.kat"});

  {
    AtomicOutputFile file;
    ASSERT_EQ(file.Open(folder.File("absent.kat")), std::nullopt);
  }
  EXPECT_EQ(FolderNames(folder.path()), std::vector<std::string>{"velmora-neu.kat"});
}

TEST(AtomicOutputFile, KeepsThePermissionsOfTheDestination) {
  TempFolder folder;
  const std::string dest = folder.File("velmora-neu.kat");
  WriteBytes(dest, "old");
  fs::permissions(dest, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_EQ(WriteWhole(dest, "new"), std::nullopt);
  EXPECT_EQ(fs::status(dest).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(AtomicOutputFile, ASymbolicLinkHasItsTargetReplaced) {
  TempFolder folder;
  fs::create_directory(folder.path() / "real");
  WriteBytes(folder.File("real/velmora-neu.kat"), "old");
  fs::create_symlink("real/velmora-neu.kat", folder.path() / "link.kat");
  ASSERT_EQ(WriteWhole(folder.File("link.kat"), "new"), std::nullopt);
  EXPECT_TRUE(fs::is_symlink(folder.path() / "link.kat"));
  EXPECT_EQ(ReadBytes(folder.File("real/velmora-neu.kat")), "new");
}

TEST(AtomicOutputFile, RefusedDestinationsStayAsTheyWere) {
  TempFolder folder;
  WriteBytes(folder.File("read-only.kat"), "old");
  fs::permissions(folder.File("read-only.kat"), fs::perms::owner_read | fs::perms::group_read);
  fs::create_directory(folder.path() / "folder.kat");
  struct Case {
    std::string path;
    FailureCode code;
  };
  const Case cases[] = {
      {"", FailureCode::kBadFileName},
      {folder.File("read-only.kat"), FailureCode::kPathFileAccess},
      {folder.File("folder.kat"), FailureCode::kPathFileAccess},
      {"/dev/null", FailureCode::kPathFileAccess},
      {folder.File("missing/velmora-neu.kat"), FailureCode::kPathNotFound},
      {folder.File("read-only.kat/velmora-neu.kat"), FailureCode::kPathNotFound},
      {folder.File(std::string(300, 'n')), FailureCode::kBadFileName},
  };
  for (const auto& [path, code] : cases) {
    const std::optional<Failure> failure = WriteWhole(path, "new");
    ASSERT_TRUE(failure.has_value()) << path;
    EXPECT_EQ(failure->code, code) << path;
  }
  EXPECT_EQ(ReadBytes(folder.File("read-only.kat")), "old");
  EXPECT_EQ(FolderNames(folder.path()), (std::vector<std::string>{"folder.kat", "read-only.kat"}));
  EXPECT_TRUE(fs::is_empty(folder.path() / "folder.kat"));
}

}  // namespace
}  // namespace tessaril
