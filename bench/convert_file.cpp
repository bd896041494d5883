#if defined(_WIN32)
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include "platform/windows/wide_text.h"
#else
#include <sys/resource.h>
#endif

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/convert_catalog.h"
#include "platform/atomic_output_file.h"

namespace {

class PrintedNotices : public tessaril::NoticeService {
 public:
  void ShowNotice(std::string_view text, tessaril::NoticeIcon icon) override {
    std::printf("%.*s\n", static_cast<int>(text.size()), text.data());
    // Out at once, as a window would show it: what the run still does after it is no wait.
    std::fflush(stdout);
    // When the user got the notice, on the clock a shell reads as EPOCHREALTIME, so that a
    // timing script needs no pipe to catch the moment.
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    std::fprintf(
        stderr, "notice at: %lld us\n",
        static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(now).count()));
    failed_ = icon == tessaril::NoticeIcon::kCritical;
  }
  bool failed() const { return failed_; }

 private:
  bool failed_ = false;
};

// The most memory the process held at once, in KiB.
long PeakMemoryKiB() {
#if defined(_WIN32)
  PROCESS_MEMORY_COUNTERS counters{};
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
  return static_cast<long>(counters.PeakWorkingSetSize / 1024);
#else
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
#endif
}

int ConvertFile(const std::vector<std::string>& arguments) {
  if (arguments.size() != 3) {
    std::fprintf(stderr, "usage: convert_file OLD NEW\n");
    return 2;
  }
  // As the program does: a write beyond the file size limit is then a failure to report.
  tessaril::IgnoreFileSizeSignal();
  PrintedNotices notices;
  tessaril::ConvertCatalog(arguments[1], arguments[2], notices);
  std::fprintf(stderr, "peak memory: %ld KiB\n", PeakMemoryKiB());
  return notices.failed() ? 1 : 0;
}

}  // namespace

#if defined(_WIN32)
// Wide arguments, as the ANSI code page would turn "ΩMEGA.kat" into "OMEGA.kat".
int wmain(int argc, wchar_t** argv) {
  // The notices are UTF-8, which a console shows only when told; it keeps what it is told after
  // the program, so it gets its own code page back. None (0) without a console.
  const UINT code_page = ::GetConsoleOutputCP();
  if (code_page != 0) ::SetConsoleOutputCP(CP_UTF8);
  const int result = ConvertFile(tessaril::Utf8Arguments(argc, argv));
  if (code_page != 0) ::SetConsoleOutputCP(code_page);
  return result;
}
#else
int main(int argc, char** argv) { return ConvertFile({argv, argv + argc}); }
#endif
