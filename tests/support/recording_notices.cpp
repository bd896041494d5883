#include "tests/support/recording_notices.h"

namespace tessaril::testing {

void RecordingNotices::ShowNotice(const std::string& text, NoticeIcon icon) {
  notices_.push_back({text, icon});
}

}  // namespace tessaril::testing
