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

// Where the fields begin, 1-based, and how wide the number field is.
constexpr std::size_t kText20Column = 1, kText30Column = 21;
constexpr std::size_t kNumberColumn = 51, kNumberWidth = 5;

// The date field is the last: it ends where the columns that carry data end.
constexpr std::size_t kDateColumn = 56;
constexpr std::size_t kDateWidth = kLineColumns - kDateColumn + 1;

// A line with a date reaches into the date field, so every field before it lies wholly on it.
static_assert(kText30Column == kText20Column + sizeof CatalogEntry::Text20);
static_assert(kNumberColumn == kText30Column + sizeof CatalogEntry::Text30);
static_assert(kDateColumn == kNumberColumn + kNumberWidth);

// The field from the 1-based `column`, which lies wholly on `line`, without its leading and
// trailing spaces, padded with spaces to its width.
template <std::size_t kWidth>
void StoreTextField(std::array<char, kWidth>& field, std::string_view line, std::size_t column) {
  const std::string_view text = line.substr(column - 1, kWidth);
  // A field that starts with a character keeps its bytes as they stand: its trailing spaces are
  // the padding the record gets anyway.
  if (text.front() != ' ') {
    std::memcpy(field.data(), text.data(), kWidth);
    return;
  }
  const std::string_view value = TrimSpaces(text);
  field.fill(' ');
  std::copy(value.begin(), value.end(), field.begin());
}

// The number field of a line that holds it whole, its decimal comma read as a point.
float ReadNumberField(std::string_view line) {
  const char* field = line.data() + (kNumberColumn - 1);
  std::array<char, kNumberWidth> text;
  std::replace_copy(field, field + kNumberWidth, text.begin(), ',', '.');
  return NarrowToSingle(ReadNumber(std::string_view(text.data(), text.size())));
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
  // The date first: a line that has one holds every other field whole.
  const std::string_view date_field =
      line.size() < kDateColumn ? std::string_view() : line.substr(kDateColumn - 1, kDateWidth);
  const std::optional<double> date = ReadDate(date_field);
  if (!date) return DateTypeMismatch(line_number, line, date_field);
  StoreTextField(entry.Text20, line, kText20Column);
  StoreTextField(entry.Text30, line, kText30Column);
  entry.Number = ReadNumberField(line);
  entry.Date = *date;
  return {};
}

}  // namespace tessaril
