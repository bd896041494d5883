#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace tessaril::testing {

/// What a conversion in a child process showed, as its parent sees it.
struct ChildRun {
  int notice_count = -1;  // -1 when the child reported nothing.
  std::string notice;     // The last notice's text.
  bool critical = false;
  int end_signal = 0;  // The signal that ended the child; 0 when it exited.
  int exit_code = -1;
};

/// Converts `source` into `dest` in a child process, so that limits, a lower user or a crash
/// stay there. `prepare` runs in the child first and returns false when it could not set up
/// what the case needs. A child still busy after `timeout_seconds` is ended by SIGALRM.
ChildRun ConvertInChild(const std::string& source, const std::string& dest,
                        const std::function<bool()>& prepare = {}, unsigned timeout_seconds = 30);

/// Starts the same child without waiting for it.
pid_t StartConvertInChild(const std::string& source, const std::string& dest);

/// In a child running as root, becomes the unprivileged user 65534 for good, so that file
/// permissions apply as they do to a user; otherwise changes nothing. False when it fails.
bool DropRoot();

/// The failure notice for a failure `code` with the German `phrase`, concerning `path`.
std::string FailureNotice(int code, std::string_view phrase, const std::string& path);

/// Whether `name` is that of a conversion's temporary file.
bool IsTemporaryName(const std::string& name);

/// How many temporary files of the conversion `folder` holds.
int CountTemporaries(const std::filesystem::path& folder);

}  // namespace tessaril::testing
