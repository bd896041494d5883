#include "catalog/line_parser.h"

#include <algorithm>
#include <string>

#include "platform/codepage.h"
#include "platform/date_reader.h"
#include "platform/number_reader.h"
#include "platform/single_narrowing.h"
#include "platform/text_functions.h"

namespace tessaril {
namespace {

template <std::size_t kWidth>
void StoreFixedText(std::array<char, kWidth>& field, std::string_view value) {
  value = value.substr(0, kWidth);
  std::copy(value.begin(), value.end(), field.begin());
  std::fill(field.begin() + static_cast<std::ptrdiff_t>(value.size()), field.end(), ' ');
}

float ReadNumberField(std::string_view field) {
  std::array<char, 5> text{};
  field = field.substr(0, text.size());
  std::replace_copy(field.begin(), field.end(), text.begin(), ',', '.');
  return NarrowToSingle(ReadNumber(std::string_view(text.data(), field.size())));
}

Failure DateTypeMismatch(std::int64_t line_number, std::string_view field) {
  std::string description(FailurePhrase(FailureCode::kTypeMismatch));
  description += " in Zeile " + std::to_string(line_number) + ": „";
  description += Cp1252ToUtf8(field);
  description += "“";
  return {FailureCode::kTypeMismatch, std::move(description)};
}

}  // namespace

std::optional<Failure> TakeLine(std::string_view line, std::int64_t line_number,
                                CatalogEntry& entry) {
  StoreFixedText(entry.Text20, TrimSpaces(Substring(line, 1, 20)));
  StoreFixedText(entry.Text30, TrimSpaces(Substring(line, 21, 30)));
  entry.Number = ReadNumberField(Substring(line, 51, 5));
  const std::string_view date_field = Substring(line, 56, 10);
  const std::optional<double> date = ReadDate(date_field);
  if (!date) return DateTypeMismatch(line_number, date_field);
  entry.Date = *date;
  return std::nullopt;
}

}  // namespace tessaril
