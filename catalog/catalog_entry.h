#pragma once

#include <array>

namespace tessaril {

/// One catalogue entry. The texts are kept as Windows-1252 bytes, the code page of both the old
/// and the new catalogue, padded with spaces to their full width.
struct CatalogEntry {
  std::array<char, 20> Text20;
  std::array<char, 30> Text30;
  float Number;
  double Date;  // Days since 30.12.1899; the fraction is the time of day.
};

}  // namespace tessaril
