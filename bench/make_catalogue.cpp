#include <cstdio>
#include <cstdlib>

#include "bench/sample_catalogue.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_catalogue FILE LINES\n");
    return 2;
  }
  tessaril::bench::WriteSampleCatalogue(argv[1], std::strtoull(argv[2], nullptr, 10));
  return 0;
}
