#if defined(_WIN32)
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

#include <cstdio>

#include "catalog/convert_catalog.h"
#include "platform/atomic_output_file.h"

namespace {

class PrintedNotices : public tessaril::NoticeService {
 public:
  void ShowNotice(const std::string& text, tessaril::NoticeIcon icon) override {
    std::puts(text.c_str());
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: convert_file OLD NEW\n");
    return 2;
  }
  // As the program does: a write beyond the file size limit is then a failure to report.
  tessaril::IgnoreFileSizeSignal();
  PrintedNotices notices;
  tessaril::ConvertCatalog(argv[1], argv[2], notices);
  std::fprintf(stderr, "peak memory: %ld KiB\n", PeakMemoryKiB());
  return notices.failed() ? 1 : 0;
}
