#include "platform/memory_advice.h"

namespace tessaril {

// Large pages on Windows need a privilege that an ordinary user lacks; the list does without.
void AdviseHugePages(const void*, std::size_t) {}

}  // namespace tessaril
