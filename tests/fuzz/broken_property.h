#pragma once

namespace tessaril::fuzz {

/// Called by a fuzz target once it has printed a property the input broke. The libFuzzer
/// program stops there, so that libFuzzer keeps the input; the replay program counts the input
/// as failed and goes on with the next.
void ReportBrokenProperty();

}  // namespace tessaril::fuzz
