#pragma once

#include <cstdint>
#include <string_view>

namespace tessaril {

/// The title every notice carries.
inline constexpr std::string_view kApplicationTitle = "Velmora Tessaril 3.x --> 4.x";

enum class NoticeIcon {
  kInformation,  // The run succeeded.
  kCritical,     // The run failed.
};

/// Shows the user a modal notice with an OK button only and returns when it is dismissed.
class NoticeService {
 public:
  virtual ~NoticeService() = default;
  /// `text` is UTF-8. Showing a notice cannot fail.
  virtual void ShowNotice(std::string_view text, NoticeIcon icon) = 0;
};

/// Told now and again, every few thousand lines, how far a run has read; it may end the run.
class RunProgress {
 public:
  virtual ~RunProgress() = default;
  /// `done` of the source's `total` bytes are read. False ends the run, which then changes
  /// nothing.
  virtual bool Advance(std::uint64_t done, std::uint64_t total) = 0;
};

}  // namespace tessaril
