#pragma once

#include <QPointer>
#include <QWidget>
#include <array>
#include <string>

#include "ui/form1_design.h"
#include "ui/message_box_notices.h"

class QLabel;
class QLineEdit;
class QProgressDialog;
class QPushButton;

namespace tessaril {

/// The program's one window on Qt: two path boxes, "Konvertieren" and "Ende", in the desktop's
/// font, its places grown from their design in proportion to that font.
class Form1 : public QWidget, public Form1Window {
  Q_OBJECT

 public:
  explicit Form1(QWidget* parent = nullptr);

  std::string Text(Form1Control box) const override;
  void SetText(Form1Control box, const std::string& utf8) override;
  void SetBusy(bool busy) override;
  NoticeService& Notices() override { return notices_; }
  void Close() override { close(); }
  void ShowProgress() override;
  bool PumpProgress(int steps) override;
  void HideProgress() override;

  // Created in the order of the design; the window owns them for its whole life.
  QLabel* const Label1;
  QLabel* const Label2;
  QLineEdit* const txtSource;
  QLabel* const Label3;
  QLineEdit* const txtDest;
  QPushButton* const cmdConvert;
  QPushButton* const cmdEnde;
  QLabel* const Label4;

  /// The control of the design's `control`.
  QWidget* Control(Form1Control control) const {
    return controls_[static_cast<std::size_t>(control)];
  }

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  NeededSize Needed(Form1Control control, const DesignBox& box) const;
  void Layout();

  // The controls above, in the order of the design.
  const std::array<QWidget*, kForm1Controls.size()> controls_;
  MessageBoxNotices notices_;
  // While a run shows how far it is, and where the focus was before.
  QProgressDialog* progress_ = nullptr;
  QPointer<QWidget> focus_;
};

}  // namespace tessaril
