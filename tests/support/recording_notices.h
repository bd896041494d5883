#pragma once

#include <string>
#include <vector>

#include "platform/notice_service.h"

namespace tessaril::testing {

/// A notice service that keeps every notice instead of showing it.
class RecordingNotices : public NoticeService {
 public:
  struct Notice {
    std::string text;
    NoticeIcon icon;
  };

  void ShowNotice(const std::string& text, NoticeIcon icon) override;

  const std::vector<Notice>& notices() const { return notices_; }

 private:
  std::vector<Notice> notices_;
};

}  // namespace tessaril::testing
