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

TEST(AtomicOutputFile, SymbolicLinksHaveTheirFinalTargetWritten) {
  TempFolder folder;
  fs::create_directory(folder.path() / "real");
  WriteBytes(folder.File("real/velmora-neu.kat"), "old");
  fs::create_symlink("real/velmora-neu.kat", folder.path() / "relative.kat");
  fs::create_symlink(folder.path() / "relative.kat", folder.path() / "chain.kat");
  fs::create_symlink("real/not-yet.kat", folder.path() / "dangling.kat");
  struct Case {
    std::string link;
    std::string target;
  };
  const Case cases[] = {
      {"relative.kat", "real/velmora-neu.kat"},
      {"chain.kat", "real/velmora-neu.kat"},
      {"dangling.kat", "real/not-yet.kat"},
  };
  for (const auto& [link, target] : cases) {
    ASSERT_EQ(WriteWhole(folder.File(link), "new " + link), std::nullopt) << link;
    EXPECT_TRUE(fs::is_symlink(folder.path() / link));
    EXPECT_EQ(ReadBytes(folder.File(target)), "new " + link);
  }
  EXPECT_EQ(FolderNames(folder.path() / "real"),
            (std::vector<std::string>{"not-yet.kat", "velmora-neu.kat"}));
}

TEST(AtomicOutputFile, RefusedDestinationsStayAsTheyWere) {
  TempFolder folder;
  WriteBytes(folder.File("read-only.kat"), "old");
  fs::permissions(folder.File("read-only.kat"), fs::perms::owner_read | fs::perms::group_read);
  fs::create_directory(folder.path() / "folder.kat");
  fs::create_symlink("loop-b.kat", folder.path() / "loop-a.kat");
  fs::create_symlink("loop-a.kat", folder.path() / "loop-b.kat");
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
      {folder.File("loop-a.kat"), FailureCode::kPathFileAccess},
  };
  for (const auto& [path, code] : cases) {
    const std::optional<Failure> failure = WriteWhole(path, "new");
    ASSERT_TRUE(failure.has_value()) << path;
    EXPECT_EQ(failure->code, code) << path;
  }
  EXPECT_EQ(ReadBytes(folder.File("read-only.kat")), "old");
  EXPECT_EQ(FolderNames(folder.path()),
            (std::vector<std::string>{"folder.kat", "loop-a.kat", "loop-b.kat", "read-only.kat"}));
  EXPECT_TRUE(fs::is_empty(folder.path() / "folder.kat"));
}

}  // namespace
}  // namespace tessaril
