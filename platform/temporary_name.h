#pragma once

#include <cstdint>
#include <string>

namespace tessaril {

/// A name for the new file beside a destination, ".tessaril-<12 hex digits>.tmp", different on
/// each call. `process_id` keeps programs that start at the same moment apart; clashes that
/// remain are met by creating the file exclusively and trying the next name.
std::string TemporaryName(std::uint64_t process_id);

}  // namespace tessaril
