#pragma once

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

}  // namespace tessaril
