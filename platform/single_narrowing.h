#pragma once

namespace tessaril {

/// Rounds `value` to the nearest single-precision value. Never fails: a value that rounds past
/// the largest single gives infinity of its sign, and NaN stays NaN.
float NarrowToSingle(double value);

}  // namespace tessaril
