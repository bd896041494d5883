// Runs a fuzz target over saved inputs without libFuzzer, so that every compiler and the
// ordinary test run replay the seed corpus and the inputs of past findings.
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "tests/support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  int count = 0;
  for (int i = 1; i < argc; ++i) {
    // A target without past findings has no regressions folder yet.
    if (!std::filesystem::is_directory(argv[i])) continue;
    for (const auto& input : std::filesystem::directory_iterator(argv[i])) {
      const std::string bytes = tessaril::testing::ReadBytes(input.path().string());
      std::printf("%s\n", input.path().c_str());
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++count;
    }
  }
  std::printf("%d passed, 0 failed\n", count);
  return count == 0 ? 1 : 0;
}
