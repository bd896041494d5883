#include "ui/form1.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCompleter>
#include <QDir>
#include <QFileSystemModel>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <initializer_list>
#include <string>

#include "catalog/convert_catalog.h"
#include "platform/program_directory.h"
#include "ui/path_box.h"
#include "ui/program_icon.h"
#include "ui/wait_cursor_notices.h"

namespace tessaril {
namespace {

// Places and sizes in logical pixels: the window was laid out in twips, 15 to a pixel.
constexpr QSize kClientSize(408, 152);
constexpr QRect kLabel1Box(8, 8, 393, 57);
constexpr QRect kLabel2Box(8, 72, 97, 17);
constexpr QRect kSourceBox(104, 72, 297, 19);
constexpr QRect kLabel3Box(8, 96, 97, 17);
constexpr QRect kDestBox(104, 96, 297, 19);
constexpr QRect kConvertBox(200, 120, 113, 25);
constexpr QRect kEndeBox(320, 120, 81, 25);
constexpr QRect kLabel4Box(0, 136, 185, 17);

// Below this a text is no longer worth reading; the search for a fitting size stops there.
constexpr int kSmallestPixelSize = 6;

QLabel* NewLabel(QWidget* parent, const QString& text, const QRect& box) {
  auto* label = new QLabel(parent);
  // Labels only show their text; the address in Label4 is no link.
  label->setTextFormat(Qt::PlainText);
  label->setTextInteractionFlags(Qt::NoTextInteraction);
  label->setText(text);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setGeometry(box);
  return label;
}

QLineEdit* NewTextBox(QWidget* parent, const QRect& box) {
  auto* text_box = new PathBox(parent);
  text_box->setGeometry(box);
  return text_box;
}

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

QPushButton* NewButton(QWidget* parent, const QString& text, const QRect& box) {
  auto* button = new CommandButton(text, parent);
  // Enter in a text box must not press a button.
  button->setAutoDefault(false);
  button->setDefault(false);
  button->setGeometry(box);
  return button;
}

bool TextFits(const QFont& font, const QLabel& label) {
  const QRect box = label.contentsRect();
  const int flags = static_cast<int>(label.alignment()) | (label.wordWrap() ? Qt::TextWordWrap : 0);
  const QRect needed = QFontMetrics(font).boundingRect(box, flags, label.text());
  return needed.width() <= box.width() && needed.height() <= box.height();
}

// The boxes are fixed in pixels, so the window takes the system's font at the largest size, up
// to the system's own, at which every label shows its whole text.
QFont FittingFont(QFont font, std::initializer_list<const QLabel*> labels) {
  for (int size = QFontInfo(font).pixelSize(); size >= kSmallestPixelSize; --size) {
    font.setPixelSize(size);
    bool all_fit = true;
    for (const QLabel* label : labels) all_fit = all_fit && TextFits(font, *label);
    if (all_fit) return font;
  }
  return font;
}

// A top-level QWidget is a plain client area to assistive technology, which screen readers
// announce as a nameless panel; this window is a window, named by its title.
QAccessibleInterface* WindowAccessible(const QString& class_name, QObject* object) {
  if (class_name != QLatin1String(Form1::staticMetaObject.className())) return nullptr;
  return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
}

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

QString PathInDirectory(const QString& directory, QChar separator, const QString& file_name) {
  const std::string prefix =
      WithTrailingSeparator(directory.toUtf8().toStdString(), separator.toLatin1());
  return QString::fromStdString(prefix) + file_name;
}

Form1::Form1(QWidget* parent)
    : QWidget(parent),
      Label1(NewLabel(this,
                      QStringLiteral("Mit diesem Programm können Sie ihren alten Katalog aus einer "
                                     "Version 1.0 bis 3.x in das Format der neuen Version 4.x "
                                     "konvertieren. Bitte beachten Sie, dass die Konversion nicht "
                                     "rückgängig gemacht werden kann!"),
                      kLabel1Box)),
      Label2(NewLabel(this, QStringLiteral("alte Katalogdatei:"), kLabel2Box)),
      txtSource(NewTextBox(this, kSourceBox)),
      Label3(NewLabel(this, QStringLiteral("neue Katalogdatei:"), kLabel3Box)),
      txtDest(NewTextBox(this, kDestBox)),
      cmdConvert(NewButton(this, QStringLiteral("Konvertieren"), kConvertBox)),
      cmdEnde(NewButton(this, QStringLiteral("Ende"), kEndeBox)),
      Label4(NewLabel(this, QStringLiteral("www.velmora.example"), kLabel4Box)),
      notices_(this) {
  [[maybe_unused]] static const bool accessible_window =
      (QAccessible::installFactory(WindowAccessible), true);
  setWindowTitle(QStringLiteral("Tessaril"));
  setWindowIcon(ProgramIcon());
  setFixedSize(kClientSize);
  Label1->setWordWrap(true);
  setFont(FittingFont(font(), {Label1, Label2, Label3, Label4}));

  setTabOrder(txtSource, txtDest);
  setTabOrder(txtDest, cmdEnde);
  setTabOrder(cmdEnde, cmdConvert);
  txtSource->setFocus();

  // Assistive technology names each box by its label.
  Label2->setBuddy(txtSource);
  Label3->setBuddy(txtDest);
  auto* files = new QFileSystemModel(this);
  files->setRootPath(QString());
  CompletePaths(txtSource, files);
  CompletePaths(txtDest, files);

  connect(cmdConvert, &QPushButton::clicked, this, &Form1::cmdConvert_Click);
  connect(cmdEnde, &QPushButton::clicked, this, &Form1::cmdEnde_Click);
}

void Form1::Form_Load() {
  const QString directory = QDir::toNativeSeparators(
      QString::fromStdString(CatalogueDirectory(ProgramDirectory(), HomeDirectory())));
  txtSource->setText(PathInDirectory(directory, QDir::separator(), QStringLiteral("velmora.kat")));
  txtDest->setText(
      PathInDirectory(directory, QDir::separator(), QStringLiteral("velmora-neu.kat")));
}

void Form1::cmdConvert_Click() {
  const std::string source_path = txtSource->text().toUtf8().toStdString();
  const std::string dest_path = txtDest->text().toUtf8().toStdString();
  // The run blocks the event loop; the cursor says so until the notice appears.
  WaitCursorNotices notices(notices_);
  ConvertCatalog(source_path, dest_path, notices);
}

void Form1::cmdEnde_Click() { close(); }

}  // namespace tessaril
