#include "ui/wait_cursor_notices.h"

#include <QCursor>
#include <QGuiApplication>

namespace tessaril {

WaitCursorNotices::WaitCursorNotices(NoticeService& notices) : notices_(notices) {
  QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

WaitCursorNotices::~WaitCursorNotices() { Restore(); }

void WaitCursorNotices::ShowNotice(const std::string& text, NoticeIcon icon) {
  Restore();
  notices_.ShowNotice(text, icon);
}

void WaitCursorNotices::Restore() {
  if (!waiting_) return;
  waiting_ = false;
  QGuiApplication::restoreOverrideCursor();
}

}  // namespace tessaril
