#pragma once

#include <QLineEdit>
#include <QString>
#include <optional>

class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QMimeData;

namespace tessaril {

/// The local path that dropped `data` names: the one local file of a `text/uri-list`, or plain
/// text, in which a "file:" address becomes its path. Nothing for several files, another kind of
/// address or data that is neither.
std::optional<QString> DroppedPath(const QMimeData& data);

/// A path box: a file or text dropped on it replaces its whole text with the local path.
class PathBox : public QLineEdit {
 public:
  explicit PathBox(QWidget* parent);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
};

}  // namespace tessaril
