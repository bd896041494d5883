#include "catalog/convert_catalog.h"

#include <cstdint>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include "catalog/catalog_entry.h"
#include "catalog/line_parser.h"
#include "catalog/record_writer.h"
#include "platform/atomic_output_file.h"
#include "platform/failure.h"
#include "platform/line_reader.h"
#include "platform/memory_advice.h"

namespace tessaril {
namespace {

constexpr std::string_view kSuccessNotice = "Konvertieren erfolgreich abgeschlossen";
constexpr std::string_view kFailureNoticeIntro = "Fehler beim konvertieren: ";

Failure OutOfMemory(std::int64_t line_number, const std::string& path) {
  std::string description(FailurePhrase(FailureCode::kOutOfMemory));
  description += " für Zeile ";
  description += std::to_string(line_number);
  description += " von ";
  description += path;
  return {FailureCode::kOutOfMemory, std::move(description)};
}

// Room for every line a file of `file_size` bytes can hold when all its lines are valid: a valid
// line reaches at least column 61 (the shortest date, "1.2.20", from column 56) and all but the
// last end in a line end. Reserving it spares the list its copies while it grows, and huge pages
// spare most of the page faults of filling it; where the memory is not to be had, the list grows
// line by line instead.
void ReserveForValidLines(std::uint64_t file_size, std::vector<CatalogEntry>& entries) {
  constexpr std::uint64_t kShortestValidLine = 62;
  const std::uint64_t most_lines = file_size / kShortestValidLine + 1;
  if (most_lines > entries.max_size()) return;
  try {
    entries.reserve(static_cast<std::size_t>(most_lines));
    AdviseHugePages(entries.data(), entries.capacity() * sizeof(CatalogEntry));
  } catch (const std::bad_alloc&) {
  }
}

std::optional<Failure> ReadEntries(const std::string& path, std::vector<CatalogEntry>& entries) {
  LineReader reader(kLineColumns);
  if (auto failure = reader.Open(path)) return failure;
  ReserveForValidLines(reader.file_size(), entries);
  std::string_view line;
  std::int64_t line_number = 0;
  while (reader.ReadLine(line)) {
    ++line_number;
    try {
      entries.emplace_back();
    } catch (const std::bad_alloc&) {
      return OutOfMemory(line_number, path);
    }
    if (auto failure = TakeLine(line, line_number, entries.back())) return failure;
  }
  return reader.failure();
}

std::optional<Failure> WriteCatalog(const std::string& path,
                                    const std::vector<CatalogEntry>& entries) {
  AtomicOutputFile file;
  if (auto failure = file.Open(path)) return failure;
  if (auto failure = WriteRecords(entries, file)) return failure;
  return file.Commit();
}

// Runs both phases; the entry list and both files are released when it returns.
std::optional<Failure> RunConversion(const std::string& source_path, const std::string& dest_path) {
  std::vector<CatalogEntry> entries;
  if (auto failure = ReadEntries(source_path, entries)) return failure;
  return WriteCatalog(dest_path, entries);
}

std::string FailureNoticeText(const Failure& failure) {
  std::string text(kFailureNoticeIntro);
  text += '[';
  text += std::to_string(static_cast<std::int32_t>(failure.code));
  text += "] ";
  text += failure.description;
  return text;
}

}  // namespace

void ConvertCatalog(std::string SourcePath, std::string DestPath, NoticeService& notices) {
  std::optional<Failure> failure;
  try {
    failure = RunConversion(SourcePath, DestPath);
  } catch (const std::bad_alloc&) {
    failure =
        Failure{FailureCode::kOutOfMemory, std::string(FailurePhrase(FailureCode::kOutOfMemory))};
  }
  // The one failure handler: every failure of the run ends here as the failure notice.
  if (failure) {
    notices.ShowNotice(FailureNoticeText(*failure), NoticeIcon::kCritical);
    return;
  }
  notices.ShowNotice(std::string(kSuccessNotice), NoticeIcon::kInformation);
}

}  // namespace tessaril
