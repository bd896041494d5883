#pragma once

#include <string_view>

#include "platform/failure.h"

namespace tessaril {

/// Maps an errno value of opening, creating or renaming `path` to its failure.
Failure FailureFromErrno(int error_number, std::string_view path);

/// Maps an errno value of reading, writing or flushing the open file `path` to its failure:
/// a full disk, a lack of memory, or else a device error.
Failure IoFailureFromErrno(int error_number, std::string_view path);

}  // namespace tessaril
