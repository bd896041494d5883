#include "platform/temporary_name.h"

#include <cstdio>
#include <random>

namespace tessaril {

// Hidden, and unlike any name a user would give. It needs to be unlikely, not unguessable.
std::string TemporaryName() {
  static std::mt19937_64 generator{std::random_device{}()};
  char name[32];
  std::snprintf(name, sizeof name, ".tessaril-%012llx.tmp",
                static_cast<unsigned long long>(generator() >> 16));
  return name;
}

}  // namespace tessaril
