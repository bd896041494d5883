#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "catalog/catalog_entry.h"
#include "platform/failure.h"

namespace tessaril {

/// Columns of an old catalogue line that carry data; the rest of a line is ignored.
inline constexpr std::size_t kLineColumns = 65;
/// The most bytes those columns take: one a column in Windows-1252, up to four in UTF-8.
inline constexpr std::size_t kLineBytes = 4 * kLineColumns;

/// Takes one old catalogue line into `entry`: Text20, Text30, Number and Date. A line is
/// Windows-1252, or UTF-8 where it was saved again so (see `Utf8LineToCp1252`); its first
/// `kLineBytes` bytes are all it needs. Fails with a type mismatch naming `line_number` and the
/// field's text when the date field holds no date, and saying so when the line is empty or ends
/// before the field; `entry` is then left as it was.
Status TakeLine(std::string_view line, std::int64_t line_number, CatalogEntry& entry);

}  // namespace tessaril
