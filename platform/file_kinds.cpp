#include "platform/file_kinds.h"

namespace tessaril {

Status CheckFileKind(const native::FileFacts& facts, std::string_view path) {
  const auto refused = [&](std::string_view cause) {
    return PathFailure(FailureCode::kPathFileAccess, path, cause);
  };
  if (facts.system) return refused(kSystemFile);
  switch (facts.kind) {
    case native::FileFacts::Kind::kFile:
      return {};
    case native::FileFacts::Kind::kFolder:
      return refused(kIsFolder);
    case native::FileFacts::Kind::kOther:
      return refused(kNoRegularFile);
  }
  return refused(kNoRegularFile);
}

Status CheckNamesFile(const std::filesystem::path& place, std::string_view path) {
  if (!place.has_filename() || place.filename() == "." || place.filename() == "..") {
    return PathFailure(FailureCode::kBadFileName, path, kNoFileName);
  }
  return {};
}

}  // namespace tessaril
