#include "ui/message_box_notices.h"

#include <QMessageBox>
#include <QString>

#include "ui/program_icon.h"

namespace tessaril {
namespace {

QMessageBox::Icon BoxIcon(NoticeIcon icon) {
  switch (icon) {
    case NoticeIcon::kInformation:
      return QMessageBox::Information;
    case NoticeIcon::kCritical:
      return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void MessageBoxNotices::ShowNotice(std::string_view text, NoticeIcon icon) {
  QMessageBox box(
      BoxIcon(icon),
      QString::fromUtf8(kApplicationTitle.data(), static_cast<qsizetype>(kApplicationTitle.size())),
      QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), QMessageBox::Ok,
      parent_);
  // Plain, so that a path or field text holding "<" is shown as it is.
  box.setTextFormat(Qt::PlainText);
  box.setWindowIcon(ProgramIcon());
  box.exec();
}

}  // namespace tessaril
