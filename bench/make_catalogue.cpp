#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "bench/sample_catalogue.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: make_catalogue FILE LINES\n");
  return 2;
}

}  // namespace

#if defined(_WIN32)
// A wide name, as the ANSI code page cannot hold every file name.
int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return Usage();
  tessaril::bench::WriteSampleCatalogue(argv[1], std::wcstoull(argv[2], nullptr, 10));
  return 0;
}
#else
int main(int argc, char** argv) {
  if (argc != 3) return Usage();
  tessaril::bench::WriteSampleCatalogue(argv[1], std::strtoull(argv[2], nullptr, 10));
  return 0;
}
#endif
