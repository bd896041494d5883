#include "platform/failure.h"

namespace tessaril {

Failure PathFailure(FailureCode code, std::string_view path) {
  std::string description(FailurePhrase(code));
  // In quotes, so that an empty path and spaces at its ends can be seen.
  description += ": „";
  description += path;
  description += "“";
  return {code, std::move(description)};
}

Failure PathFailure(FailureCode code, std::string_view path, std::string_view cause) {
  Failure failure = PathFailure(code, path);
  failure.description += ' ';
  failure.description += cause;
  return failure;
}

Status InBox(Status status, std::string_view box) {
  if (status.ok()) return status;
  Failure failure = std::move(status).failure();
  // The box goes where a path failure's quoted path begins, after "<phrase>: ".
  std::string before_path(FailurePhrase(failure.code));
  before_path += ": ";
  if (!failure.description.starts_with(before_path + "„")) return failure;
  failure.description.insert(before_path.size(), std::string(box) + ' ');
  return failure;
}

Status CheckUsablePath(std::string_view path) {
  if (path.empty()) return PathFailure(FailureCode::kBadFileName, path, kNotGiven);
  if (path.find('\0') == std::string_view::npos) return {};
  return PathFailure(FailureCode::kBadFileName, path, kHoldsNul);
}

}  // namespace tessaril
