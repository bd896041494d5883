#pragma once

#include <array>
#include <limits>

namespace tessaril {

/// One catalogue entry. The texts are kept as Windows-1252 bytes, the code page of both the old
/// and the new catalogue, padded with spaces to their full width.
struct CatalogEntry {
  std::array<char, 20> Text20;
  std::array<char, 30> Text30;
  float Number;
  double Date;  // Days since 30.12.1899; the fraction is the time of day.
};

// The new catalogue stores Number and Date as they are held here: IEEE 754 single and double.
static_assert(std::numeric_limits<float>::is_iec559);
static_assert(sizeof(float) == 4);
static_assert(std::numeric_limits<double>::is_iec559);
static_assert(sizeof(double) == 8);

}  // namespace tessaril
