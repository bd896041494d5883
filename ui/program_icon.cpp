#include "ui/program_icon.h"

#include <QDir>
#include <QString>
#include <QStringList>

namespace tessaril {

QIcon ProgramIcon() {
  QIcon icon;
  const QDir renderings(QStringLiteral(":/tessaril/icons"));
  for (const QString& name : renderings.entryList(QDir::Files)) {
    icon.addFile(renderings.filePath(name));
  }
  return icon;
}

}  // namespace tessaril
