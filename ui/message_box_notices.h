#pragma once

#include <string_view>

#include "platform/notice_service.h"

class QWidget;

namespace tessaril {

/// Shows each notice as a modal message box over `parent`, with the application's title and an
/// OK button only.
class MessageBoxNotices : public NoticeService {
 public:
  explicit MessageBoxNotices(QWidget* parent) : parent_(parent) {}

  void ShowNotice(std::string_view text, NoticeIcon icon) override;

 private:
  QWidget* parent_;
};

}  // namespace tessaril
