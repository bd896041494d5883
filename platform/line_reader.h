#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/failure.h"
#include "platform/native_files.h"
#include "platform/notice_service.h"

namespace tessaril {

/// Reads a text file line by line through a fixed-size buffer. A line ends at CR LF, a lone CR
/// or a lone LF; a final line end starts no further line. A UTF-8 byte-order mark at the start
/// of the file and an end-of-file byte (0x1A) as its last byte belong to no line. Only the first
/// `kept_columns` bytes of a line are kept, so a huge line costs no memory.
class LineReader {
 public:
  /// Small enough to stay in the processor's cache while its lines are taken, and to cost a
  /// small catalogue few fresh pages.
  static constexpr std::size_t kDefaultBufferSize = 1 << 17;

  /// Tells `progress`, if any, how far it has read after each buffer; where that ends the run,
  /// the line being read fails with code 18.
  explicit LineReader(std::size_t kept_columns, std::size_t buffer_size = kDefaultBufferSize,
                      RunProgress* progress = nullptr);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  /// Opens `path` (UTF-8); once, as a reader reads one file. Fails without reading anything
  /// when the path is empty or invalid, the file or a folder on its path is missing, access is
  /// refused, or it is no regular file.
  Status Open(const std::string& path);

  /// The next line without its line end, or none at the end of the file; the view lives until
  /// the next call. Fails on a read error; a file that changed while it was read (its size or
  /// times differ from those at opening, or fewer or more bytes came than it holds) is such an
  /// error. After a failure or the end, no line is left.
  Result<std::optional<std::string_view>> ReadLine();

 private:
  using Line = std::optional<std::string_view>;
  Result<Line> FirstLine();
  Result<Line> NextLine();
  Status Refill();
  Status EndedUnchanged();
  std::size_t FindLineEnd() const;
  void Keep(const char* begin, std::size_t size);
  void Close();

  std::size_t kept_columns_;
  std::size_t buffer_size_;
  RunProgress* progress_;
  std::string path_;
  native::Handle file_ = native::kNoHandle;
  native::FileFacts opened_;
  std::unique_ptr<char[]> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::uint64_t bytes_read_ = 0;
  // A CR ended the buffer: an LF that opens the next one belongs to it.
  bool skip_lf_ = false;
  // No line was read yet: a byte-order mark may open the next.
  bool first_line_ = true;
  // Holds a line's kept bytes when the line spans two buffers.
  std::string kept_;
};

}  // namespace tessaril
