#include "catalog/line_parser.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/codepage.h"
#include "platform/date_reader.h"
#include "platform/number_reader.h"
#include "platform/single_narrowing.h"
#include "platform/text_functions.h"

namespace tessaril {
namespace {

// The number field, copied whole to read its decimal comma as a point.
constexpr std::size_t kNumberColumn = 51, kNumberWidth = 5;

// The date field is the last: it ends where the columns that carry data end.
constexpr std::size_t kDateColumn = 56;
constexpr std::size_t kDateWidth = kLineColumns - kDateColumn + 1;

// The field from the 1-based `column`, without its leading and trailing spaces, padded with
// spaces to its width.
template <std::size_t kWidth>
void StoreTextField(std::array<char, kWidth>& field, std::string_view line, std::size_t column) {
  const std::size_t start = column - 1;
  // A field that starts with a character and lies wholly on the line keeps its bytes as they
  // stand: its trailing spaces are the padding the record gets anyway.
  if (line.size() >= start + kWidth && line[start] != ' ') {
    std::memcpy(field.data(), line.data() + start, kWidth);
    return;
  }
  const std::string_view value = TrimSpaces(Substring(line, column, kWidth));
  field.fill(' ');
  std::copy_n(value.data(), std::min(value.size(), kWidth), field.data());
}

float ReadNumberField(std::string_view field) {
  std::array<char, kNumberWidth> text{};
  const std::size_t size = std::min(field.size(), text.size());
  for (std::size_t i = 0; i < size; ++i) text[i] = field[i] == ',' ? '.' : field[i];
  return NarrowToSingle(ReadNumber(std::string_view(text.data(), size)));
}

// Names the line and the field; a line that holds no date field at all says so, as the field's
// empty quotes alone do not tell why.
Failure DateTypeMismatch(std::int64_t line_number, std::string_view line, std::string_view field) {
  Failure failure{.code = FailureCode::kTypeMismatch,
                  .quoted = Cp1252ToUtf8(field),
                  .line = line_number,
                  .first_column = kDateColumn,
                  .last_column = kLineColumns};
  if (line.empty()) {
    failure.cause = "(die Zeile ist leer)";
  } else if (line.size() < kDateColumn) {
    failure.cause = "(die Zeile endet schon nach Spalte " + std::to_string(line.size()) + ")";
  }
  return failure;
}

}  // namespace

Status TakeLine(std::string_view line, std::int64_t line_number, CatalogEntry& entry) {
  StoreTextField(entry.Text20, line, 1);
  StoreTextField(entry.Text30, line, 21);
  entry.Number = ReadNumberField(Substring(line, kNumberColumn, kNumberWidth));
  const std::string_view date_field = Substring(line, kDateColumn, kDateWidth);
  const std::optional<double> date = ReadDate(date_field);
  if (!date) return DateTypeMismatch(line_number, line, date_field);
  entry.Date = *date;
  return {};
}

}  // namespace tessaril
