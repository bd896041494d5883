#pragma once

#include <cstddef>

namespace tessaril {

/// Asks the system to back the whole pages of [data, data + bytes) with huge pages, which makes
/// filling a large list cheaper. Only advice: where the system declines, nothing changes.
void AdviseHugePages(const void* data, std::size_t bytes);

}  // namespace tessaril
