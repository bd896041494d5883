#include "platform/temporary_name.h"

#include <chrono>
#include <cstdio>

namespace tessaril {

// Hidden, and unlike any name a user would give. It needs to be unlikely, not unguessable.
std::string TemporaryName(std::uint64_t process_id) {
  static std::uint64_t state =
      (process_id << 32) ^
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  state = state * 6364136223846793005ULL + 1442695040888963407ULL;
  char name[32];
  std::snprintf(name, sizeof name, ".tessaril-%012llx.tmp",
                static_cast<unsigned long long>((state >> 16) & 0xFFFF'FFFF'FFFFULL));
  return name;
}

}  // namespace tessaril
