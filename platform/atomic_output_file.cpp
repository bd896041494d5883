#include "platform/atomic_output_file.h"

#include "platform/native_replacement.h"

namespace tessaril {

Status CheckNamesFile(const std::filesystem::path& place, std::string_view path) {
  if (!place.has_filename() || place.filename() == "." || place.filename() == "..") {
    return PathFailure(FailureCode::kBadFileName, path, kNoFileName);
  }
  return {};
}

AtomicOutputFile::AtomicOutputFile() : replacement_(NewNativeReplacement({})) {}

// Destroying the replacement removes the new file unless it is in place.
AtomicOutputFile::~AtomicOutputFile() = default;

Status AtomicOutputFile::Open(const std::string& path) {
  replacement_ = NewNativeReplacement(path);
  if (Status status = CheckUsablePath(path); !status.ok()) return status;
  if (Status status = replacement_->FindDestination(); !status.ok()) return status;
  if (Status status = replacement_->CreateReplacement(); !status.ok()) return status;
  return replacement_->TakeOverDestination();
}

Status AtomicOutputFile::Write(std::string_view bytes) { return replacement_->Write(bytes); }

Status AtomicOutputFile::Commit() {
  if (Status status = replacement_->Flush(); !status.ok()) return status;
  if (Status status = replacement_->Name(); !status.ok()) return status;
  if (Status status = replacement_->Rename(); !status.ok()) return status;
  replacement_->LetReplacedGo();
  return {};
}

}  // namespace tessaril
