#pragma once

#include <string>

#include "platform/notice_service.h"

namespace tessaril {

/// Shows the wait cursor over the whole program from construction until the first notice, which
/// it passes on to `notices` with the normal cursor back in place.
class WaitCursorNotices : public NoticeService {
 public:
  explicit WaitCursorNotices(NoticeService& notices);
  ~WaitCursorNotices() override;
  WaitCursorNotices(const WaitCursorNotices&) = delete;
  WaitCursorNotices& operator=(const WaitCursorNotices&) = delete;

  void ShowNotice(const std::string& text, NoticeIcon icon) override;

 private:
  void Restore();

  NoticeService& notices_;
  bool waiting_ = true;
};

}  // namespace tessaril
