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

// Copies, never moves: a file or text dragged here stays where it came from. Gives the path the
// drop carries, or none when it is refused.
std::optional<QString> TakeAsCopy(QDropEvent& event) {
  std::optional<QString> path;
  if (event.possibleActions() & Qt::CopyAction) path = DroppedPath(*event.mimeData());
  if (!path) {
    event.ignore();
    return std::nullopt;
  }
  event.setDropAction(Qt::CopyAction);
  event.accept();
  return path;
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
  const std::optional<QString> path = TakeAsCopy(*event);
  if (!path) return;
  // Through the selection, so that Ctrl+Z brings the old text back.
  selectAll();
  insert(*path);
  setFocus(Qt::OtherFocusReason);
}

}  // namespace tessaril
