// Runs a fuzz target over saved inputs without libFuzzer, so that every compiler and the
// ordinary test run replay the seed corpus and the inputs of past findings. An input that breaks
// a property counts as failed; one that crashes stops the program, which fails the test as well.
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "tests/fuzz/broken_property.h"
#include "tests/support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {
bool input_failed = false;
}  // namespace

void tessaril::fuzz::ReportBrokenProperty() { input_failed = true; }

int main(int argc, char** argv) {
  int passed = 0;
  int failed = 0;
  for (int i = 1; i < argc; ++i) {
    // A target without past findings has no regressions folder yet.
    if (!std::filesystem::is_directory(argv[i])) continue;
    for (const auto& input : std::filesystem::directory_iterator(argv[i])) {
      const std::string bytes = tessaril::testing::ReadBytes(input.path().string());
      // Named before it runs, so that an input that crashes the program is named too.
      std::printf("%s\n", input.path().c_str());
      std::fflush(stdout);
      input_failed = false;
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++(input_failed ? failed : passed);
    }
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed > 0 || passed == 0 ? 1 : 0;
}
