#include "ui/form1.h"

#include <QAbstractFileIconProvider>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QCompleter>
#include <QCursor>
#include <QDir>
#include <QEvent>
#include <QFileSystemModel>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QRect>

#include "ui/path_box.h"
#include "ui/program_icon.h"

namespace tessaril {
namespace {

QString FromUtf8(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QRect ToRect(const DesignBox& box) { return QRect(box.left, box.top, box.width, box.height); }

QLabel* NewLabel(QWidget* parent, Form1Control control) {
  auto* label = new QLabel(parent);
  // Labels only show their text; the address in Label4 is no link.
  label->setTextFormat(Qt::PlainText);
  label->setTextInteractionFlags(Qt::NoTextInteraction);
  label->setText(FromUtf8(Design(control).text));
  // A box's label stands on the box's text line; the others read from the top.
  label->setAlignment(Qt::AlignLeft | (NamesABox(control) ? Qt::AlignVCenter : Qt::AlignTop));
  return label;
}

QLineEdit* NewTextBox(QWidget* parent) { return new PathBox(parent); }

// Return and Enter press a focused button as Space does; Qt's buttons take them only when they
// are default buttons, and this window has none.
class CommandButton : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
      QPushButton::keyPressEvent(event);
      return;
    }
    if (!event->isAutoRepeat()) click();
  }
};

QPushButton* NewButton(QWidget* parent, Form1Control control) {
  // Not in a dialog, so neither default nor auto-default: Enter in a text box presses nothing.
  return new CommandButton(FromUtf8(Design(control).text), parent);
}

// A top-level QWidget is a plain client area to assistive technology, which screen readers
// announce as a nameless panel; this window is a window, named by its title.
QAccessibleInterface* WindowAccessible(const QString& class_name, QObject* object) {
  if (class_name != QLatin1String(Form1::staticMetaObject.className())) return nullptr;
  return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
}

// The completion lists names without icons.
class NoIcons final : public QAbstractFileIconProvider {
 public:
  QIcon icon(IconType) const override { return {}; }
  QIcon icon(const QFileInfo&) const override { return {}; }
};

// Completes folder and file names in `box`; the model reads folders on a thread of its own, so
// typing never waits for a folder's listing.
void CompletePaths(QLineEdit* box, QFileSystemModel* files) {
  box->setCompleter(new QCompleter(files, box));
  // The completer only searches folders the model has read, and never asks for one; naming the
  // folder being typed in makes the model read it, and the completer shows its names on arrival.
  QObject::connect(box, &QLineEdit::textEdited, files, [files](const QString& text) {
    const QString path = QDir::fromNativeSeparators(text);
    files->index(path.left(path.lastIndexOf(u'/') + 1));
  });
}

}  // namespace

Form1::Form1(QWidget* parent)
    : QWidget(parent),
      Label1(NewLabel(this, Form1Control::kLabel1)),
      Label2(NewLabel(this, Form1Control::kLabel2)),
      txtSource(NewTextBox(this)),
      Label3(NewLabel(this, Form1Control::kLabel3)),
      txtDest(NewTextBox(this)),
      cmdConvert(NewButton(this, Form1Control::kCmdConvert)),
      cmdEnde(NewButton(this, Form1Control::kCmdEnde)),
      Label4(NewLabel(this, Form1Control::kLabel4)),
      controls_{Label1, Label2, txtSource, Label3, txtDest, cmdConvert, cmdEnde, Label4},
      notices_(this) {
  [[maybe_unused]] static const bool accessible_window =
      (QAccessible::installFactory(WindowAccessible), true);
  setWindowTitle(FromUtf8(kForm1Title));
  setAccessibleDescription(FromUtf8(Form1Description()));
  setWindowIcon(ProgramIcon());
  Label1->setWordWrap(true);

  for (std::size_t i = 1; i < kForm1TabOrder.size(); ++i) {
    setTabOrder(Control(kForm1TabOrder[i - 1]), Control(kForm1TabOrder[i]));
  }
  Control(kForm1TabOrder.front())->setFocus();

  // Each box's label gives it its access key and, for assistive technology, its name.
  for (std::size_t i = 0; i + 1 < kForm1Controls.size(); ++i) {
    if (NamesABox(static_cast<Form1Control>(i))) {
      static_cast<QLabel*>(Control(static_cast<Form1Control>(i)))
          ->setBuddy(Control(static_cast<Form1Control>(i + 1)));
    }
  }
  auto* files = new QFileSystemModel(this);
  // Names only: looking up an icon for every file anew, whenever a folder such as /tmp changes,
  // kept the idle window busy.
  static NoIcons no_icons;
  files->setIconProvider(&no_icons);
  files->setRootPath(QString());
  CompletePaths(txtSource, files);
  CompletePaths(txtDest, files);

  connect(cmdConvert, &QPushButton::clicked, this, [this] { cmdConvert_Click(); });
  connect(cmdEnde, &QPushButton::clicked, this, [this] { cmdEnde_Click(); });
  Layout();
}

NeededSize Form1::Needed(Form1Control control, const DesignBox& box) const {
  const QFontMetrics metrics = fontMetrics();
  QSize needed;
  if (const auto* label = qobject_cast<const QLabel*>(Control(control))) {
    const int flags = Qt::TextShowMnemonic | (label->wordWrap() ? Qt::TextWordWrap : 0);
    needed = metrics.boundingRect(QRect(0, 0, box.width, box.height), flags, label->text()).size();
  } else if (const auto* button = qobject_cast<const QPushButton*>(Control(control))) {
    // The frame and the focus rectangle take a few pixels on each side.
    needed = metrics.size(Qt::TextShowMnemonic, button->text()) + QSize(16, 4);
  } else {
    needed = QSize(0, Control(control)->minimumSizeHint().height());
  }
  return {needed.width(), needed.height()};
}

void Form1::Layout() {
  // The desktop's font as it is; the places grow with it instead.
  const double scale = LayoutScale(
      1.0, QFontInfo(font()).pixelSize(),
      [this](Form1Control control, const DesignBox& box) { return Needed(control, box); });
  for (std::size_t i = 0; i < kForm1Controls.size(); ++i) {
    Control(static_cast<Form1Control>(i))
        ->setGeometry(ToRect(Scaled(kForm1Controls[i].box, scale)));
  }
  setFixedSize(ToRect(Scaled({0, 0, kForm1ClientWidth, kForm1ClientHeight}, scale)).size());
}

// Not modal: the main window's own title bar still closes it, which ends the run first; its
// controls take no input meanwhile. Escape ends the run as the button does.
void Form1::ShowProgress() {
  progress_ = new QProgressDialog(FromUtf8(kProgressText), FromUtf8(kProgressCancel), 0,
                                  kProgressSteps, this);
  progress_->setWindowTitle(FromUtf8(kApplicationTitle));
  progress_->setWindowIcon(ProgramIcon());
  progress_->setAutoReset(false);
  progress_->setAutoClose(false);
  connect(progress_, &QProgressDialog::rejected, progress_, &QProgressDialog::cancel);
  progress_->findChild<QProgressBar*>()->setAccessibleName(FromUtf8(kProgressBarName));
  // The focus goes to "Abbrechen" before the controls it leaves are disabled, so that it does
  // not pass through another control on its way.
  focus_ = QApplication::focusWidget();
  progress_->show();
  progress_->activateWindow();
  progress_->findChild<QPushButton*>()->setFocus();
  for (QWidget* control : controls_) control->setEnabled(false);
}

bool Form1::PumpProgress(int steps) {
  progress_->setValue(steps);
  QCoreApplication::processEvents();
  return !progress_->wasCanceled();
}

void Form1::HideProgress() {
  delete std::exchange(progress_, nullptr);
  for (QWidget* control : controls_) control->setEnabled(true);
  activateWindow();
  if (focus_) focus_->setFocus();
}

void Form1::closeEvent(QCloseEvent* event) {
  if (QueryClose()) {
    QWidget::closeEvent(event);
  } else {
    event->ignore();
  }
}

void Form1::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange) Layout();
}

std::string Form1::Text(Form1Control box) const {
  return Control(box)->property("text").toString().toUtf8().toStdString();
}

void Form1::SetText(Form1Control box, const std::string& utf8) {
  Control(box)->setProperty("text", QString::fromStdString(utf8));
}

void Form1::SetBusy(bool busy) {
  if (busy) {
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  } else {
    QGuiApplication::restoreOverrideCursor();
  }
}

}  // namespace tessaril
