#include "tests/faults/fault_support.h"

#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "catalog/convert_catalog.h"
#include "tests/support/recording_notices.h"

namespace tessaril::testing {
namespace {

constexpr uid_t kUnprivilegedId = 65534;

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

// Runs in the child: converts and sends "<count>\n<icon>\n<text>" up the pipe.
[[noreturn]] void ConvertAndReport(const std::string& source, const std::string& dest,
                                   const std::function<bool()>& prepare, int report_fd) {
  if (prepare && !prepare()) {
    std::fprintf(stderr, "child: the case could not be prepared\n");
    ::_exit(3);
  }
  RecordingNotices notices;
  ConvertCatalog(source, dest, notices);
  std::string report = std::to_string(notices.notices().size()) + "\n";
  if (!notices.notices().empty()) {
    const auto& last = notices.notices().back();
    report += last.icon == NoticeIcon::kCritical ? "critical\n" : "information\n";
    report += last.text;
  }
  WriteAll(report_fd, report);
  ::_exit(0);
}

}  // namespace

ChildRun ConvertInChild(const std::string& source, const std::string& dest,
                        const std::function<bool()>& prepare, unsigned timeout_seconds) {
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe_fds[0]);
    ::alarm(timeout_seconds);
    ConvertAndReport(source, dest, prepare, pipe_fds[1]);
  }
  ::close(pipe_fds[1]);
  std::string report;
  char buffer[4096];
  for (ssize_t count; (count = ::read(pipe_fds[0], buffer, sizeof buffer)) != 0;) {
    if (count > 0) report.append(buffer, static_cast<std::size_t>(count));
    if (count < 0 && errno != EINTR) break;
  }
  ::close(pipe_fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);

  ChildRun run;
  if (WIFSIGNALED(status)) run.end_signal = WTERMSIG(status);
  if (WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
  const std::size_t count_end = report.find('\n');
  if (count_end == std::string::npos) return run;
  run.notice_count = std::atoi(report.c_str());
  const std::size_t icon_end = report.find('\n', count_end + 1);
  if (icon_end == std::string::npos) return run;
  run.critical = report.compare(count_end + 1, icon_end - count_end - 1, "critical") == 0;
  run.notice = report.substr(icon_end + 1);
  return run;
}

pid_t StartConvertInChild(const std::string& source, const std::string& dest) {
  const pid_t child = ::fork();
  if (child == 0) {
    RecordingNotices notices;
    ConvertCatalog(source, dest, notices);
    ::_exit(0);
  }
  return child;
}

bool DropRoot() {
  if (::geteuid() != 0) return true;
  return ::setgroups(0, nullptr) == 0 && ::setgid(kUnprivilegedId) == 0 &&
         ::setuid(kUnprivilegedId) == 0 && ::geteuid() == kUnprivilegedId;
}

std::string FailureNotice(int code, std::string_view phrase, const std::string& path) {
  return "Fehler beim konvertieren: [" + std::to_string(code) + "] " + std::string(phrase) + ": " +
         path;
}

bool IsTemporaryName(const std::string& name) {
  return name.starts_with(".tessaril-") && name.ends_with(".tmp");
}

int CountTemporaries(const std::filesystem::path& folder) {
  int count = 0;
  for (const auto& item : std::filesystem::directory_iterator(folder)) {
    if (IsTemporaryName(item.path().filename().string())) ++count;
  }
  return count;
}

}  // namespace tessaril::testing
