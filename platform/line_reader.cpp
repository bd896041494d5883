#include "platform/line_reader.h"

#include <algorithm>
#include <bit>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/file_kinds.h"

namespace tessaril {
namespace {

// What an editor writes before the first line of a file it saves as UTF-8.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// A missing file in a folder that is there is the file not found.
Failure OpenFailure(Failure failure, const std::string& path) {
  if (failure.code == FailureCode::kPathNotFound && failure.cause == kFolderMissing) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (native::IsFolder(folder.empty() ? "." : folder)) {
      return PathFailure(FailureCode::kFileNotFound, path);
    }
  }
  return failure;
}

}  // namespace

LineReader::LineReader(std::size_t kept_columns, std::size_t buffer_size, RunProgress* progress)
    : kept_columns_(kept_columns),
      buffer_size_(std::max<std::size_t>(buffer_size, 1)),
      progress_(progress) {}

LineReader::~LineReader() { Close(); }

void LineReader::Close() {
  if (file_ != native::kNoHandle) native::Close(std::exchange(file_, native::kNoHandle));
}

Status LineReader::Open(const std::string& path) {
  path_ = path;
  if (Status status = CheckUsablePath(path); !status.ok()) return status;
  Result<native::Handle> file = native::OpenForReading(path);
  if (!file.ok()) return OpenFailure(std::move(file).status().failure(), path);
  file_ = *file;
  Result<native::FileFacts> facts = native::FactsOf(file_, path_);
  if (!facts.ok()) return std::move(facts).status();
  if (Status status = CheckFileKind(*facts, path_); !status.ok()) return status;
  opened_ = *facts;
  buffer_ = std::make_unique_for_overwrite<char[]>(buffer_size_);
  kept_.reserve(kept_columns_ + kByteOrderMark.size());
  return {};
}

Status LineReader::Refill() {
  pos_ = end_ = 0;
  Result<std::size_t> count = native::Read(file_, {buffer_.get(), buffer_size_}, path_);
  if (!count.ok()) return std::move(count).status();
  end_ = *count;
  bytes_read_ += end_;
  if (progress_ != nullptr && !progress_->Advance(bytes_read_, opened_.size)) {
    return PathFailure(FailureCode::kCancelled, path_);
  }
  // The end-of-file byte that older programs wrote after the last line is no text.
  if (end_ > 0 && bytes_read_ == opened_.size && buffer_[end_ - 1] == '\x1A') --end_;
  return {};
}

// A file rewritten while it was read (cut short and written anew, as a copy does) may have given
// only its first lines, or lines of two versions.
Status LineReader::EndedUnchanged() {
  Result<native::FileFacts> now = native::FactsOf(file_, path_);
  if (!now.ok()) return std::move(now).status();
  if (now->size == opened_.size && now->written == opened_.written &&
      now->changed == opened_.changed && bytes_read_ == now->size) {
    return {};
  }
  return PathFailure(FailureCode::kDeviceIo, path_, "wurde während des Lesens verändert");
}

std::size_t LineReader::FindLineEnd() const {
  const char* data = buffer_.get();
  std::size_t at = pos_;
#if defined(__SSE2__)
  // Sixteen bytes at a time: a line is scanned once for both of its ends.
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  for (; end_ - at >= 16; at += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
    const int ends =
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf)));
    if (ends != 0)
      return at + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(ends)));
  }
#endif
  while (at < end_ && data[at] != '\r' && data[at] != '\n') ++at;
  return at;
}

void LineReader::Keep(const char* begin, std::size_t size) {
  const std::size_t room = kept_columns_ - std::min(kept_columns_, kept_.size());
  kept_.append(begin, std::min(room, size));
}

Result<std::optional<std::string_view>> LineReader::ReadLine() {
  Result<Line> line = first_line_ ? FirstLine() : NextLine();
  if (!line.ok()) Close();
  return line;
}

// The byte-order mark belongs to the file, not to its first line, which keeps its columns
// beside it; a file of the mark alone has no line.
Result<std::optional<std::string_view>> LineReader::FirstLine() {
  first_line_ = false;
  kept_columns_ += kByteOrderMark.size();
  Result<Line> line = NextLine();
  kept_columns_ -= kByteOrderMark.size();
  if (!line.ok() || !*line) return line;
  std::string_view text = **line;
  if (text.starts_with(kByteOrderMark)) {
    if (text == kByteOrderMark && file_ == native::kNoHandle) return Line();
    text.remove_prefix(kByteOrderMark.size());
  }
  return Line(text.substr(0, kept_columns_));
}

Result<std::optional<std::string_view>> LineReader::NextLine() {
  if (file_ == native::kNoHandle) return Line();
  kept_.clear();
  bool line_started = false;
  bool spans_buffers = false;
  for (;;) {
    if (pos_ == end_) {
      if (Status status = Refill(); !status.ok()) return status;
      if (end_ == 0) {
        if (Status status = EndedUnchanged(); !status.ok()) return status;
        Close();
        return line_started ? Line(kept_) : Line();
      }
      if (skip_lf_ && buffer_[0] == '\n') pos_ = 1;
      skip_lf_ = false;
      continue;
    }
    line_started = true;
    const char* data = buffer_.get();
    const std::size_t line_end = FindLineEnd();
    if (line_end == end_) {
      Keep(data + pos_, end_ - pos_);
      spans_buffers = true;
      pos_ = end_;
      continue;
    }
    std::string_view line;
    if (spans_buffers) {
      Keep(data + pos_, line_end - pos_);
      line = kept_;
    } else {
      line = std::string_view(data + pos_, std::min(kept_columns_, line_end - pos_));
    }
    pos_ = line_end + 1;
    if (data[line_end] == '\r') {
      // The LF of a CR LF may only arrive with the next buffer.
      if (pos_ == end_) {
        skip_lf_ = true;
      } else if (data[pos_] == '\n') {
        ++pos_;
      }
    }
    return Line(line);
  }
}

}  // namespace tessaril
