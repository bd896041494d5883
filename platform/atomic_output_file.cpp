#include "platform/atomic_output_file.h"

#include "platform/file_kinds.h"

namespace tessaril {
namespace {

// What no rename could replace, and a folder that refuses the new file, are refused before any
// record is written, as the records only meet the destination's name when they are complete.
Status CheckReplaceable(const native::Replacement& r) {
  const auto refused = [&](FailureCode code, std::string_view cause) {
    return PathFailure(code, r.path, cause);
  };
  constexpr FailureCode kAccess = FailureCode::kPathFileAccess;
  constexpr FailureCode kDenied = FailureCode::kPermissionDenied;
  if (r.existing) {
    if (r.existing->deleted) return refused(kAccess, kDeleted);
    if (Status status = CheckFileKind(*r.existing, r.path); !status.ok()) return status;
    // Written anew even by root, as a read-only catalogue is meant to stay as it is.
    if (r.existing->read_only) return refused(kAccess, kIsReadOnly);
    if (r.existing->append_only || r.existing->immutable) return refused(kAccess, kProtected);
    if (r.existing->mount_point) return refused(kAccess, kMountPoint);
  }
  const native::FolderFacts& folder = r.folder_facts;
  if (folder.system) return refused(kAccess, kSystemFile);
  if (folder.only_appends) return refused(kDenied, InFolderThat(r.folder_shown, kOnlyAppends));
  if (!folder.takes_files) {
    return refused(kDenied, InFolderThat(r.folder_shown, kAllowsNoNewFiles));
  }
  if (r.existing && folder.keeps_others_files) {
    return refused(kDenied, InFolderThat(r.folder_shown, kKeepsOthersFiles));
  }
  if (r.existing && !r.existing->writable) return refused(kDenied, {});
  if (!folder.readable) return refused(kDenied, InFolderThat(r.folder_shown, kCannotBeRead));
  return {};
}

}  // namespace

AtomicOutputFile::~AtomicOutputFile() { native::Abandon(replacement_); }

Status AtomicOutputFile::Open(const std::string& path) {
  replacement_.path = path;
  if (Status status = CheckUsablePath(path); !status.ok()) return status;
  if (Status status = native::FindDestination(replacement_); !status.ok()) return status;
  if (Status status = CheckReplaceable(replacement_); !status.ok()) return status;
  return native::CreateReplacement(replacement_);
}

Status AtomicOutputFile::Write(std::string_view bytes) {
  return native::Write(replacement_, bytes);
}

Status AtomicOutputFile::Commit() {
  if (Status status = native::Flush(replacement_); !status.ok()) return status;
  return native::PutInPlace(replacement_);
}

}  // namespace tessaril
