#include "ui/path_box.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QList>
#include <QMimeData>
#include <QUrl>

namespace tessaril {
namespace {

std::optional<QString> LocalPath(const QList<QUrl>& urls) {
  // A box names one file.
  if (urls.size() != 1 || !urls.front().isLocalFile()) return std::nullopt;
  return QDir::toNativeSeparators(urls.front().toLocalFile());
}

// Copies, never moves: a file or text dragged here stays where it came from.
bool TakeAsCopy(QDropEvent& event) {
  if (!(event.possibleActions() & Qt::CopyAction) || !DroppedPath(*event.mimeData())) {
    event.ignore();
    return false;
  }
  event.setDropAction(Qt::CopyAction);
  event.accept();
  return true;
}

}  // namespace

std::optional<QString> DroppedPath(const QMimeData& data) {
  if (data.hasUrls()) return LocalPath(data.urls());
  if (!data.hasText()) return std::nullopt;
  QString text = data.text();
  while (text.endsWith(u'\n') || text.endsWith(u'\r')) text.chop(1);
  // A one-letter scheme is a drive ("C:"), so such a text is a path as well.
  const QUrl url(text, QUrl::StrictMode);
  if (url.scheme().size() < 2) return text;
  return LocalPath({url});
}

PathBox::PathBox(QWidget* parent) : QLineEdit(parent) {}

void PathBox::dragEnterEvent(QDragEnterEvent* event) { TakeAsCopy(*event); }

// QLineEdit's own would move the cursor to where the text would be inserted.
void PathBox::dragMoveEvent(QDragMoveEvent* event) { TakeAsCopy(*event); }

void PathBox::dropEvent(QDropEvent* event) {
  if (!TakeAsCopy(*event)) return;
  // Through the selection, so that Ctrl+Z brings the old text back.
  selectAll();
  insert(*DroppedPath(*event->mimeData()));
  setFocus(Qt::OtherFocusReason);
}

}  // namespace tessaril
