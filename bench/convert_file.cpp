#include <sys/resource.h>

#include <cstdio>

#include "catalog/convert_catalog.h"

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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: convert_file OLD NEW\n");
    return 2;
  }
  PrintedNotices notices;
  tessaril::ConvertCatalog(argv[1], argv[2], notices);
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  std::fprintf(stderr, "peak memory: %ld KiB\n", usage.ru_maxrss);
  return notices.failed() ? 1 : 0;
}
