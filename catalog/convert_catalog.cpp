#include "catalog/convert_catalog.h"

#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "catalog/catalog_entry.h"
#include "catalog/line_parser.h"
#include "catalog/record_writer.h"
#include "platform/failure.h"
#include "platform/line_reader.h"

namespace tessaril {
namespace {

constexpr std::string_view kSuccessNotice = "Konvertieren erfolgreich abgeschlossen";
constexpr std::string_view kCancelledNotice = "Konvertieren abgebrochen, nichts wurde geändert";
constexpr std::string_view kFailureNoticeIntro = "Fehler beim konvertieren: ";

// "Fehler beim konvertieren: [<code>] ", how every failure notice begins.
std::string FailureNoticeStart(FailureCode code) {
  return std::string(kFailureNoticeIntro) + '[' + std::to_string(static_cast<std::int32_t>(code)) +
         "] ";
}

// Composed as the program starts, so that telling of a lack of memory needs none.
const std::string kOutOfMemoryNotice = FailureNoticeStart(FailureCode::kOutOfMemory) +
                                       std::string(FailurePhrase(FailureCode::kOutOfMemory));

// The failure that `status` holds, its path named as the one from `box`, so that the notice
// says which path to mend.
Failure InBox(Status status, CatalogBox box) {
  Failure failure = std::move(status).failure();
  failure.box = box;
  return failure;
}

// Reads the catalogue on after its first line without a date, so that the notice names every
// line to mend at once: the further ones by count, and the first ten by number. Nothing more is
// written or kept; a failure to read on ends the count where it stands, and the user's ending
// the run ends it altogether.
Failure WithFurtherBadLines(Failure first, LineReader& reader, std::int64_t line_number) {
  constexpr std::int64_t kNamedLines = 10;
  std::int64_t count = 0;
  std::string numbers;
  CatalogEntry entry{};
  auto line = reader.ReadLine();
  for (; line.ok() && *line; line = reader.ReadLine()) {
    if (TakeLine(**line, ++line_number, entry).ok() || ++count > kNamedLines) continue;
    numbers += (count > 1 ? ", " : "") + std::to_string(line_number);
  }
  if (Status status = std::move(line).status();
      !status.ok() && status.failure().code == FailureCode::kCancelled) {
    return std::move(status).failure();
  }
  if (count == 1) first.more = "ebenso in einer weiteren Zeile: " + numbers;
  if (count > 1) {
    first.more = "ebenso in " + std::to_string(count) + " weiteren Zeilen" +
                 (count > kNamedLines ? ", darunter " : ": ") + numbers;
  }
  return first;
}

// Takes each line into its record as it reads, so memory stays the same at any size. The
// destination is replaced only after every line was read and every record written, so both
// paths may name one file. Its first failure waits until the end: a bad line or a reading
// failure wins over it, as the user must mend the catalogue first. What the run opened goes
// as it returns: a new file not in place with it.
Status RunConversion(const std::string& source_path, const std::string& dest_path,
                     RunProgress* progress) {
  LineReader reader(kLineBytes, LineReader::kDefaultBufferSize, progress);
  RecordWriter writer;
  if (Status status = reader.Open(source_path); !status.ok()) {
    return InBox(std::move(status), CatalogBox::kSource);
  }
  Status destination = writer.Open(dest_path);
  CatalogEntry entry{};
  std::int64_t line_number = 0;
  for (;;) {
    Result<std::optional<std::string_view>> line = reader.ReadLine();
    if (!line.ok()) return InBox(std::move(line).status(), CatalogBox::kSource);
    if (!*line) break;
    if (Status status = TakeLine(**line, ++line_number, entry); !status.ok()) {
      return WithFurtherBadLines(std::move(status).failure(), reader, line_number);
    }
    if (destination.ok()) destination = writer.Add(entry);
  }
  if (destination.ok()) destination = writer.Commit();
  if (!destination.ok()) return InBox(std::move(destination), CatalogBox::kDest);
  return {};
}

}  // namespace

void ConvertCatalog(std::string SourcePath, std::string DestPath, NoticeService& notices,
                    RunProgress* progress) {
  Status status;
  try {
    status = RunConversion(SourcePath, DestPath, progress);
  } catch (const std::bad_alloc&) {
    // What the run held is gone, and the notice is ready: telling of it takes no memory.
    notices.ShowNotice(kOutOfMemoryNotice, NoticeIcon::kCritical);
    return;
  }
  // The one failure handler: every other failure of the run ends here as the failure notice.
  if (!status.ok() && status.failure().code == FailureCode::kCancelled) {
    notices.ShowNotice(kCancelledNotice, NoticeIcon::kInformation);
    return;
  }
  if (!status.ok()) {
    const Failure& failure = status.failure();
    notices.ShowNotice(FailureNoticeStart(failure.code) + Describe(failure), NoticeIcon::kCritical);
    return;
  }
  notices.ShowNotice(kSuccessNotice, NoticeIcon::kInformation);
}

}  // namespace tessaril
