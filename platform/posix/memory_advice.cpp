#include "platform/memory_advice.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace tessaril {

void AdviseHugePages(const void* data, std::size_t bytes) {
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto address = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t begin = (address + page - 1) & ~(page - 1);
  const std::uintptr_t end = (address + bytes) & ~(page - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace tessaril
