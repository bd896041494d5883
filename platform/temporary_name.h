#pragma once

#include <string>

namespace tessaril {

/// A name for the new file beside a destination, ".tessaril-<12 hex digits>.tmp", different on
/// each call and drawn from a seed of the system's randomness, so that programs started at the
/// same moment differ too; clashes that remain are met by creating the file exclusively and
/// trying the next name.
std::string TemporaryName();

}  // namespace tessaril
