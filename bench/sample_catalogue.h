#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace tessaril::bench {

/// Line `index` of an invented old catalogue: 65 columns with varied names, numbers and dates,
/// every line valid.
std::string SampleLine(std::size_t index);

/// Writes `line_count` sample lines, each ended by CR LF, to `path`.
void WriteSampleCatalogue(const std::filesystem::path& path, std::size_t line_count);

}  // namespace tessaril::bench
