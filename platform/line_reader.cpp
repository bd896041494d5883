#include "platform/line_reader.h"

#include <algorithm>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessaril {
namespace {

// What an editor writes before the first line of a file it saves as UTF-8.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

LineReader::LineReader(std::size_t kept_columns, std::size_t buffer_size)
    : kept_columns_(kept_columns), buffer_size_(std::max<std::size_t>(buffer_size, 1)) {}

LineReader::~LineReader() { Close(); }

Status LineReader::Open(const std::string& path) {
  path_ = path;
  if (Status status = CheckUsablePath(path); !status.ok()) return status;
  if (Status status = OpenFile(); !status.ok()) return status;
  if (!ReadStamp(opened_)) return failure_;
  buffer_ = std::make_unique_for_overwrite<char[]>(buffer_size_);
  kept_.reserve(kept_columns_);
  return {};
}

bool LineReader::Refill() {
  pos_ = end_ = 0;
  if (!ReadIntoBuffer()) return false;
  bytes_read_ += end_;
  // The end-of-file byte that older programs wrote after the last line is no text.
  if (end_ > 0 && bytes_read_ == opened_.size && buffer_[end_ - 1] == '\x1A') --end_;
  return true;
}

// A file rewritten while it was read (cut short and written anew, as a copy does) may have given
// only its first lines, or lines of two versions.
bool LineReader::EndedUnchanged() {
  Stamp now;
  if (!ReadStamp(now)) return false;
  if (now == opened_ && bytes_read_ == now.size) return true;
  failure_ = PathFailure(FailureCode::kDeviceIo, path_, "wurde während des Lesens verändert");
  Close();
  return false;
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

Status LineReader::ReadLine(std::optional<std::string_view>& line) {
  // Written straight into `line`: copying a view just stored into it stalled every line.
  if (first_line_ ? FirstLine(line) : NextLine(line)) return {};
  line.reset();
  return failure_;
}

// The byte-order mark belongs to the file, not to its first line, which keeps its columns
// beside it; a file of the mark alone has no line.
bool LineReader::FirstLine(std::optional<std::string_view>& line) {
  first_line_ = false;
  kept_columns_ += kByteOrderMark.size();
  const bool found = NextLine(line);
  kept_columns_ -= kByteOrderMark.size();
  if (!found) return false;
  if (line->starts_with(kByteOrderMark)) {
    if (*line == kByteOrderMark && file_ == -1) return false;
    line->remove_prefix(kByteOrderMark.size());
  }
  line = line->substr(0, kept_columns_);
  return true;
}

bool LineReader::NextLine(std::optional<std::string_view>& line) {
  if (file_ == -1) return false;
  kept_.clear();
  bool line_started = false;
  bool spans_buffers = false;
  for (;;) {
    if (pos_ == end_) {
      if (!Refill()) return false;
      if (end_ == 0) {
        if (!EndedUnchanged()) return false;
        Close();
        line = kept_;
        return line_started;
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
    return true;
  }
}

}  // namespace tessaril
