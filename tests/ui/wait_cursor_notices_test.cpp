#include "ui/wait_cursor_notices.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QGuiApplication>
#include <optional>
#include <string>
#include <vector>

namespace tessaril {
namespace {

// The override cursor's shape at this moment, or nothing when none is set.
std::optional<Qt::CursorShape> OverrideShape() {
  const QCursor* cursor = QGuiApplication::overrideCursor();
  if (cursor == nullptr) return std::nullopt;
  return cursor->shape();
}

// Keeps each notice with the override cursor it was shown under.
class CursorNotingNotices : public NoticeService {
 public:
  struct Notice {
    std::string text;
    NoticeIcon icon;
    std::optional<Qt::CursorShape> cursor;
  };

  void ShowNotice(const std::string& text, NoticeIcon icon) override {
    notices.push_back({text, icon, OverrideShape()});
  }

  std::vector<Notice> notices;
};

TEST(WaitCursorNotices, WaitCursorUntilTheNoticeWhichShowsTheNormalOne) {
  CursorNotingNotices shown;
  {
    WaitCursorNotices notices(shown);
    EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
    notices.ShowNotice("Konvertieren erfolgreich abgeschlossen", NoticeIcon::kInformation);
    EXPECT_EQ(OverrideShape(), std::nullopt);
  }
  EXPECT_EQ(OverrideShape(), std::nullopt);
  ASSERT_EQ(shown.notices.size(), 1u);
  EXPECT_EQ(shown.notices[0].text, "Konvertieren erfolgreich abgeschlossen");
  EXPECT_EQ(shown.notices[0].icon, NoticeIcon::kInformation);
  EXPECT_EQ(shown.notices[0].cursor, std::nullopt);
}

TEST(WaitCursorNotices, RestoresOnlyItsOwnCursor) {
  CursorNotingNotices shown;
  QGuiApplication::setOverrideCursor(QCursor(Qt::CrossCursor));
  {
    // A run that ends without a notice still gives the cursor back when it ends.
    WaitCursorNotices silent(shown);
    EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
  }
  EXPECT_EQ(OverrideShape(), Qt::CrossCursor);
  {
    WaitCursorNotices notices(shown);
    notices.ShowNotice("eins", NoticeIcon::kCritical);
    notices.ShowNotice("zwei", NoticeIcon::kCritical);
  }
  EXPECT_EQ(OverrideShape(), Qt::CrossCursor);
  QGuiApplication::restoreOverrideCursor();
  EXPECT_EQ(OverrideShape(), std::nullopt);
  ASSERT_EQ(shown.notices.size(), 2u);
  EXPECT_EQ(shown.notices[0].cursor, Qt::CrossCursor);
  EXPECT_EQ(shown.notices[1].cursor, Qt::CrossCursor);
}

}  // namespace
}  // namespace tessaril
