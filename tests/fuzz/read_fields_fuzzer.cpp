// Takes the input as a number field, as the text of a date and as one old catalogue line,
// and checks each reader against an oracle of its own: std::from_chars for numbers, the
// std::chrono calendar for dates, the trimmed columns for texts, and for the line as a whole
// its twin in the other encoding, Windows-1252 or UTF-8, which must give the same entry or the
// same failure. The sanitizers catch any input that crashes or touches memory it does not own.
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <regex>
#include <string>
#include <tuple>

#include "catalog/code_page.h"
#include "catalog/date_field.h"
#include "catalog/line_parser.h"
#include "catalog/number_field.h"
#include "tests/fuzz/broken_property.h"

namespace {

using std::string_view;

// What ReadNumber must give for a field of up to five characters: without blanks, with "." for
// "," and "e" for a "D" exponent, it is what std::from_chars reads, and the digits of "&H" and
// "&O" integers are what std::stoi reads in their base.
double ExpectedNumber(string_view field) {
  std::string s(field);
  std::erase_if(s, [](char c) { return c == ' ' || c == '\t' || c == '\n'; });
  std::replace(s.begin(), s.end(), ',', '.');
  for (const auto& [letter, base, digits] :
       {std::tuple{'h', 16, "0123456789abcdefABCDEF"}, {'o', 8, "01234567"}}) {
    if (s.size() >= 2 && s[0] == '&' && std::tolower(s[1]) == letter) {
      const std::string run = s.substr(2, s.find_first_not_of(digits, 2) - 2);
      return run.empty() ? 0 : std::stoi(run, nullptr, base);
    }
  }
  const std::size_t start = s.starts_with('-') || s.starts_with('+') ? 1 : 0;
  std::size_t end = s.find_first_not_of("0123456789.", start);
  end = std::min(end, s.find('.', s.find('.', start) + 1));  // At most one point.
  // Checked here, so that from_chars cannot read "inf" or "nan" instead.
  if (s.find_first_of("0123456789", start) >= end) return 0;
  if (end < s.size() && (s[end] == 'D' || s[end] == 'd')) s[end] = 'e';
  s = (s.starts_with('-') ? "-" : "") + s.substr(start);
  double value = 0;
  const auto [rest, error] = std::from_chars(s.data(), s.data() + s.size(), value);
  // Five characters go beyond the double range only upwards, as 9E999.
  return error == std::errc::result_out_of_range ? HUGE_VAL : value;
}

// The single nearest to `value`. Converting a value beyond the single range is undefined; a
// quarter of it rounds alike, and scaling back up overflows to infinity just where it rounds up
// beyond the largest single.
float NearestSingle(double value) {
  if (std::fabs(value) <= std::numeric_limits<float>::max()) return static_cast<float>(value);
  if (std::fabs(value) >= 0x1p129) return static_cast<float>(std::copysign(INFINITY, value));
  return static_cast<float>(value / 4) * 4.0f;
}

// `text` without its leading and trailing spaces.
string_view Trimmed(string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') + 1 - first);
}

// What ReadDate must give for `text`: the forms it promises, between spaces, if the calendar has
// that day. None of them is longer than ten characters.
std::optional<double> ExpectedDate(string_view text) {
  static const std::regex german(R"((\d{1,2})\.(\d{1,2})\.(\d\d|\d{4}))");
  static const std::regex iso(R"((\d{4})-(\d{1,2})-(\d{1,2}))");
  text = Trimmed(text);
  std::match_results<string_view::iterator> m;
  int year, month, day;
  if (text.size() <= 10 && std::regex_match(text.begin(), text.end(), m, german)) {
    day = std::stoi(m[1]), month = std::stoi(m[2]), year = std::stoi(m[3]);
    if (m[3].length() == 2) year += year < 30 ? 2000 : 1900;
  } else if (text.size() <= 10 && std::regex_match(text.begin(), text.end(), m, iso)) {
    year = std::stoi(m[1]), month = std::stoi(m[2]), day = std::stoi(m[3]);
  } else {
    return std::nullopt;
  }
  using namespace std::chrono;
  const year_month_day date{std::chrono::year{year}, std::chrono::month(unsigned(month)),
                            std::chrono::day(unsigned(day))};
  if (year < 100 || !date.ok()) return std::nullopt;
  return static_cast<double>((sys_days{date} - sys_days{1899y / December / 30d}).count());
}

// What a text field of a line must hold: its columns trimmed, padded with spaces to its width.
bool SameText(string_view columns, string_view field) {
  std::string text(Trimmed(columns));
  text.resize(field.size(), ' ');
  return text == field;
}

void Check(bool holds, const char* property, string_view input, double expected, double actual) {
  if (holds) return;
  std::fprintf(stderr, "%s broken for \"%.*s\": expected %a, got %a\n", property,
               static_cast<int>(input.size()), input.data(), expected, actual);
  tessaril::fuzz::ReportBrokenProperty();
}

bool SameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Up to `width` characters from the 1-based column `first`.
string_view Columns(string_view line, std::size_t first, std::size_t width) {
  return first <= line.size() ? line.substr(first - 1, width) : string_view{};
}

// The length of the well-formed UTF-8 sequence that `text` begins with, by the table of the
// Unicode standard (3-7), or 0.
std::size_t WellFormedLength(string_view text) {
  const auto byte = [&](std::size_t i) {
    return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
  };
  const auto in = [](unsigned value, unsigned low, unsigned high) {
    return value >= low && value <= high;
  };
  const unsigned b0 = byte(0), b1 = byte(1);
  const bool tail2 = in(byte(2), 0x80, 0xBF), tail3 = tail2 && in(byte(3), 0x80, 0xBF);
  if (!text.empty() && b0 <= 0x7F) return 1;
  if (in(b0, 0xC2, 0xDF) && in(b1, 0x80, 0xBF)) return 2;
  if ((b0 == 0xE0 && in(b1, 0xA0, 0xBF)) || (b0 == 0xED && in(b1, 0x80, 0x9F)) ||
      ((in(b0, 0xE1, 0xEC) || in(b0, 0xEE, 0xEF)) && in(b1, 0x80, 0xBF))) {
    return tail2 ? 3 : 0;
  }
  if ((b0 == 0xF0 && in(b1, 0x90, 0xBF)) || (in(b0, 0xF1, 0xF3) && in(b1, 0x80, 0xBF)) ||
      (b0 == 0xF4 && in(b1, 0x80, 0x8F))) {
    return tail3 ? 4 : 0;
  }
  return 0;
}

// Whether the 65 data columns of `line` are well-formed UTF-8 holding a character beyond ASCII.
bool ReadAsUtf8(string_view line) {
  bool beyond_ascii = false;
  for (int column = 0; column < 65 && !line.empty(); ++column) {
    const std::size_t length = WellFormedLength(line);
    if (length == 0) return false;
    beyond_ascii = beyond_ascii || length > 1;
    line.remove_prefix(length);
  }
  return beyond_ascii;
}

// The 65 data columns of a line read as UTF-8 in Windows-1252, each character the byte whose
// decoding it is, or "?"; `lossy` tells whether a "?" stands for another character.
std::string Cp1252Columns(string_view line, bool& lossy) {
  std::string columns;
  for (int column = 0; column < 65 && !line.empty(); ++column) {
    const std::size_t length = WellFormedLength(line);
    char byte = '?';
    for (int b = 0; b < 256; ++b) {
      const char candidate = static_cast<char>(b);
      if (tessaril::Cp1252ToUtf8(string_view(&candidate, 1)) == line.substr(0, length)) {
        byte = candidate;
      }
    }
    lossy = lossy || (byte == '?' && line[0] != '?');
    columns += byte;
    line.remove_prefix(length);
  }
  return columns;
}

struct Twin {
  std::string columns;  // The 65 data columns in the other encoding.
  bool lossy = false;   // A character Windows-1252 lacks became "?".
};

// The twin of `line` in the other encoding: Windows-1252 for a line read as UTF-8, each
// character the byte whose decoding it is, or "?"; UTF-8 for a line that holds a byte beyond
// ASCII in its data columns, each byte decoded. None for a line of ASCII there, which reads the
// same either way, and for one whose Windows-1252 twin would be read as UTF-8 again.
std::optional<Twin> TwinOf(string_view line) {
  Twin twin;
  if (!ReadAsUtf8(line)) {
    const string_view columns = line.substr(0, 65);
    if (std::all_of(columns.begin(), columns.end(), [](char c) { return c >= 0; })) {
      return std::nullopt;
    }
    for (char c : columns) twin.columns += tessaril::Cp1252ToUtf8(string_view(&c, 1));
    return twin;
  }
  twin.columns = Cp1252Columns(line, twin.lossy);
  if (ReadAsUtf8(twin.columns)) return std::nullopt;  // Pairs such as "\xC3\xA4".
  return twin;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const string_view text(reinterpret_cast<const char*>(data), size);
  // As a number field: its first five characters.
  const string_view field = text.substr(0, 5);
  const double number = tessaril::ReadNumber(field);
  const double expected_number = ExpectedNumber(field);
  Check(SameBits(number, expected_number), "ReadNumber", text, expected_number, number);
  Check(SameBits(tessaril::NarrowToSingle(number), NearestSingle(expected_number)),
        "NarrowToSingle", text, NearestSingle(expected_number), tessaril::NarrowToSingle(number));

  const std::optional<double> date = tessaril::ReadDate(text);
  const std::optional<double> expected_date = ExpectedDate(text);
  Check(date == expected_date, "ReadDate", text, expected_date.value_or(NAN), date.value_or(NAN));
  // Its fast path takes the ten characters DD.MM.YYYY, each digit where it stands, and no other
  // text, whatever follows them.
  static const std::regex full(R"((\d\d)\.(\d\d)\.(\d{4}))");
  const string_view ten = text.substr(0, 10);
  std::match_results<string_view::iterator> m;
  const std::optional<std::array<int, 3>> parts = tessaril::ReadFullGermanDate(ten);
  const bool is_full = std::regex_match(ten.begin(), ten.end(), m, full);
  Check(parts.has_value() == is_full &&
            (!parts || *parts == std::array{std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3])}),
        "ReadFullGermanDate", text, NAN, NAN);

  // The line's date field and, where it holds a date, the number field with "," as the point;
  // a line read as UTF-8 counts its columns in characters.
  tessaril::CatalogEntry entry{};
  const bool taken = tessaril::TakeLine(text, 7, entry).ok();
  bool lossy = false;
  const std::string line = ReadAsUtf8(text) ? Cp1252Columns(text, lossy) : std::string(text);
  const float expected_single = NearestSingle(ExpectedNumber(Columns(line, 51, 5)));
  Check(!taken || SameBits(entry.Number, expected_single), "TakeLine number", text, expected_single,
        entry.Number);
  Check(!taken || (SameText(Columns(line, 1, 20), {entry.Text20.data(), 20}) &&
                   SameText(Columns(line, 21, 30), {entry.Text30.data(), 30})),
        "TakeLine texts", text, NAN, NAN);
  const std::optional<double> line_date = ExpectedDate(Columns(line, 56, 10));
  Check(taken == line_date.has_value() && (!taken || entry.Date == *line_date), "TakeLine date",
        text, line_date.value_or(NAN), taken ? entry.Date : NAN);

  // A failure shows the field as it stands, which a lossy twin does not.
  if (const std::optional<Twin> twin = TwinOf(text)) {
    tessaril::CatalogEntry twin_entry{};
    const tessaril::Status status = tessaril::TakeLine(text, 7, entry);
    const tessaril::Status twin_status = tessaril::TakeLine(twin->columns, 7, twin_entry);
    const bool same_entry = std::memcmp(&entry, &twin_entry, 50) == 0 &&
                            SameBits(entry.Number, twin_entry.Number) &&
                            SameBits(entry.Date, twin_entry.Date);
    Check(status.ok() == twin_status.ok() &&
              (status.ok()
                   ? same_entry
                   : twin->lossy || Describe(status.failure()) == Describe(twin_status.failure())),
          "TakeLine twin", text, NAN, NAN);
  }
  return 0;
}
