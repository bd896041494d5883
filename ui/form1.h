#pragma once

#include <QString>
#include <QWidget>

#include "ui/message_box_notices.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tessaril {

/// `directory` for display with `file_name` after it, joined by exactly one `separator`.
QString PathInDirectory(const QString& directory, QChar separator, const QString& file_name);

/// The program's one window: two path boxes, "Konvertieren" and "Ende".
class Form1 : public QWidget {
  Q_OBJECT

 public:
  explicit Form1(QWidget* parent = nullptr);

  /// Fills both path boxes with the default catalogues beside the executable, or in the home
  /// folder when the user may not write beside it; checks nothing.
  void Form_Load();
  /// Converts the catalogue named in `txtSource` into the one in `txtDest`; the conversion
  /// reports its outcome in a notice, so nothing reaches the caller.
  void cmdConvert_Click();
  /// Closes the window, which ends the program when it is the last one.
  void cmdEnde_Click();

  // Created in the order of the window's table; the window owns them for its whole life.
  QLabel* const Label1;
  QLabel* const Label2;
  QLineEdit* const txtSource;
  QLabel* const Label3;
  QLineEdit* const txtDest;
  QPushButton* const cmdConvert;
  QPushButton* const cmdEnde;
  QLabel* const Label4;

 private:
  MessageBoxNotices notices_;
};

}  // namespace tessaril
