#include "catalog/line_parser.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "catalog/code_page.h"
#include "catalog/date_field.h"
#include "catalog/number_field.h"
#include "catalog/text_field.h"
#include "platform/utf8.h"

namespace tessaril {
namespace {

// Where the fields begin, 1-based, and how wide the number field is.
constexpr std::size_t kText20Column = 1, kText30Column = 21;
constexpr std::size_t kNumberColumn = 51;

// The date field is the last: it ends where the columns that carry data end.
constexpr std::size_t kDateColumn = 56;
constexpr std::size_t kDateWidth = kLineColumns - kDateColumn + 1;

// A line with a date reaches into the date field, so every field before it lies wholly on it.
static_assert(kText30Column == kText20Column + sizeof CatalogEntry::Text20);
static_assert(kNumberColumn == kText30Column + sizeof CatalogEntry::Text30);
static_assert(kDateColumn == kNumberColumn + kNumberWidth);

// The date field of a UTF-8 line as it stands there, for the notice.
std::string Utf8DateField(std::string_view line) {
  for (std::size_t column = 1; column < kDateColumn && TakeUtf8(line); ++column) {
  }
  std::string_view rest = line;
  for (std::size_t column = 0; column < kDateWidth && TakeUtf8(rest); ++column) {
  }
  return std::string(line.substr(0, line.size() - rest.size()));
}

// Names the line and the field, shown as UTF-8; a line that holds no date field at all says so,
// as the field's empty quotes alone do not tell why.
Failure DateTypeMismatch(std::int64_t line_number, std::size_t line_columns, std::string shown) {
  Failure failure{.code = FailureCode::kTypeMismatch,
                  .quoted = std::move(shown),
                  .line = line_number,
                  .first_column = kDateColumn,
                  .last_column = kLineColumns};
  if (line_columns == 0) {
    failure.cause = "(die Zeile ist leer)";
  } else if (line_columns < kDateColumn) {
    failure.cause = "(die Zeile endet schon nach Spalte " + std::to_string(line_columns) + ")";
  }
  return failure;
}

}  // namespace

Status TakeLine(std::string_view line, std::int64_t line_number, CatalogEntry& entry) {
  // A line saved again as UTF-8 is taken through its Windows-1252 bytes, a byte a column.
  std::array<char, kLineColumns> decoded;
  const std::optional<std::size_t> utf8_columns = Utf8LineToCp1252(line, decoded);
  const std::string_view columns =
      utf8_columns ? std::string_view(decoded.data(), *utf8_columns) : line;
  // The date first: a line that has one holds every other field whole.
  const std::string_view date_field = columns.size() < kDateColumn
                                          ? std::string_view()
                                          : columns.substr(kDateColumn - 1, kDateWidth);
  const std::optional<double> date = ReadDate(date_field);
  if (!date) {
    return DateTypeMismatch(line_number, columns.size(),
                            utf8_columns ? Utf8DateField(line) : Cp1252ToUtf8(date_field));
  }
  StoreText(entry.Text20, columns.substr(kText20Column - 1, entry.Text20.size()));
  StoreText(entry.Text30, columns.substr(kText30Column - 1, entry.Text30.size()));
  entry.Number = NarrowToSingle(ReadNumber(columns.substr(kNumberColumn - 1, kNumberWidth)));
  entry.Date = *date;
  return {};
}

}  // namespace tessaril
