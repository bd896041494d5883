// Drives the Qt window for the shared window tests, and tests what only Qt's window has.
#include "ui/form1.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAccessible>
#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <array>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "platform/program_directory.h"
#include "tests/support/test_support.h"
#include "tests/ui/form1_driver.h"

namespace tessaril::testing {
namespace {

QAccessibleInterface* Accessible(const QWidget* widget) {
  return QAccessible::queryAccessibleInterface(const_cast<QWidget*>(widget));
}

class QtForm1 : public Form1Driver {
 public:
  QtForm1() {
    form_.show();
    form_.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&form_));
  }
  Form1Window& form() override { return form_; }
  void UseFont(int pixels) override {
    font_ = QApplication::font();
    if (pixels != 0) font_.setPixelSize(pixels);
    form_.setFont(font_);
  }
  SeenControl Seen(std::optional<Form1Control> control) const override {
    const QWidget* widget = control ? form_.Control(*control) : &form_;
    const QRect box = control ? widget->geometry() : QRect(QPoint(), form_.size());
    const QString text = control ? widget->property("text").toString() : form_.windowTitle();
    return {{box.left(), box.top(), box.right() + 1, box.bottom() + 1},
            text.toStdString(),
            Accessible(widget)->text(QAccessible::Name).toStdString(),
            QApplication::focusWidget() == widget};
  }
  bool HasIcon() const override { return !form_.windowIcon().isNull(); }
  void Focus(Form1Control control) override { form_.Control(control)->setFocus(); }
  std::vector<std::string> Press(Key key, bool acts, EndRun end_run) override {
    // In the order of Key.
    const Qt::Key keys[] = {Qt::Key_Tab, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape,
                            Qt::Key_A,   Qt::Key_E,      Qt::Key_K,     Qt::Key_N};
    std::vector<std::string> seen;
    // Every modal box, described and answered from inside its own event loop; a progress window,
    // from inside the run.
    QTimer answerer;
    bool progress_answered = false;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
      auto* progress = form_.findChild<QProgressDialog*>();
      if (progress != nullptr && progress->isVisible() && !progress_answered) {
        progress_answered = true;
        seen.push_back(Described(*progress));
        auto* button = progress->findChild<QPushButton*>();
        if (end_run == EndRun::kButton) QTest::mouseClick(button, Qt::LeftButton);
        if (end_run == EndRun::kEscape) QTest::keyClick(progress->focusWidget(), Qt::Key_Escape);
        if (end_run == EndRun::kCloseWindow) form_.windowHandle()->close();
        return;
      }
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      const char* icons[] = {"none", "information", "warning", "critical", "question"};
      seen.push_back(
          box->windowTitle().toStdString() + "|" + icons[box->icon()] +
          (box->buttons().size() == 1 && box->button(QMessageBox::Ok) ? "|OK" : "|other buttons") +
          (box->windowModality() == Qt::ApplicationModal && box->parentWidget() == &form_
               ? "|modal over the window|"
               : "|") +
          (QGuiApplication::overrideCursor() ? "wait cursor|" : "") +
          (box->windowIcon().isNull() ? "no title-bar icon|" : "") +
          (box->textFormat() == Qt::PlainText ? "" : "markup|") + box->text().toStdString());
      box->done(QMessageBox::Ok);
    });
    answerer.start(0);
    if (key == Key::kClick) {
      QTest::mouseClick(form_.cmdConvert, Qt::LeftButton);
    } else {
      QTest::keyClick(form_.focusWidget(), keys[static_cast<int>(key)],
                      key >= Key::kAltA ? Qt::AltModifier : Qt::NoModifier);
    }
    // A button's access key presses it a moment later, as the button is seen going down.
    if (acts) (void)QTest::qWaitFor([&] { return !seen.empty() || !form_.isVisible(); }, 20000);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    if (form_.isVisible()) {
      form_.activateWindow();
      EXPECT_TRUE(QTest::qWaitForWindowActive(&form_));
    }
    return seen;
  }
  void Drop(Form1Control box, const std::vector<std::string>& paths) override {
    QMimeData mime;
    for (const std::string& path : paths) {
      mime.setUrls(mime.urls() << QUrl::fromLocalFile(QString::fromStdString(path)));
    }
    QDragEnterEvent enter(QPoint(9, 9), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(QPointF(9, 9), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form_.Control(box), &enter);
    QApplication::sendEvent(form_.Control(box), &drop);
  }
  bool Busy() const override { return QGuiApplication::overrideCursor() != nullptr; }
  bool IsOpen() const override { return form_.isVisible(); }

  // In the font it was given, with no text cut, labels that only show their text, and each
  // control announced as what it is.
  void ExpectOwnLayout() const override {
    EXPECT_EQ(form_.minimumSize(), form_.maximumSize());
    for (std::size_t i = 0; i < kForm1Controls.size(); ++i) {
      SCOPED_TRACE(i);
      const QWidget* widget = form_.Control(static_cast<Form1Control>(i));
      EXPECT_EQ(QFontInfo(widget->font()).pixelSize(), QFontInfo(font_).pixelSize());
      const QFontMetrics metrics = widget->fontMetrics();
      const QAccessible::Role role = Accessible(widget)->role();
      if (auto* label = qobject_cast<const QLabel*>(widget)) {
        EXPECT_EQ(role, QAccessible::StaticText);
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_EQ(label->textInteractionFlags(), Qt::NoTextInteraction);
        EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
        // Whole text in its box; Label1 wraps over several lines.
        const QRect inside = label->contentsRect();
        const QRect needed = metrics.boundingRect(
            inside, Qt::TextShowMnemonic | (label->wordWrap() ? Qt::TextWordWrap : 0),
            label->text());
        EXPECT_TRUE(inside.contains(needed)) << needed.width() << "x" << needed.height();
      } else if (auto* button = qobject_cast<const QPushButton*>(widget)) {
        EXPECT_EQ(role, QAccessible::Button);
        EXPECT_LT(metrics.size(Qt::TextShowMnemonic, button->text()).width(), widget->width());
      } else {
        EXPECT_EQ(role, QAccessible::EditableText);
        EXPECT_NE(static_cast<const QLineEdit*>(widget)->completer(), nullptr) << "completes paths";
        EXPECT_LE(widget->minimumSizeHint().height(), widget->height());
      }
    }
    // A screen reader says the window by its title, and its warning as its description.
    EXPECT_EQ(Accessible(&form_)->role(), QAccessible::Window);
    EXPECT_EQ(Accessible(&form_)->text(QAccessible::Description), form_.Label1->text());
  }

  Form1 form_;

 private:
  std::string Described(const QProgressDialog& progress) const {
    const auto* bar = Accessible(progress.findChild<QProgressBar*>())->valueInterface();
    const QPushButton* button = progress.findChild<QPushButton*>();
    bool idle = true;
    for (std::size_t i = 0; i < kForm1Controls.size(); ++i) {
      idle = idle && !form_.Control(static_cast<Form1Control>(i))->isEnabled();
    }
    const double value = bar->currentValue().toDouble();
    return "progress|" + Accessible(&progress)->text(QAccessible::Name).toStdString() + "|" +
           Accessible(progress.findChild<QLabel*>())->text(QAccessible::Name).toStdString() + "|" +
           Accessible(button)->text(QAccessible::Name).toStdString() +
           (progress.focusWidget() == button ? " focused" : "") + "|bar " +
           Accessible(progress.findChild<QProgressBar*>())->text(QAccessible::Name).toStdString() +
           " " + std::to_string(bar->minimumValue().toInt()) + "-" +
           std::to_string(bar->maximumValue().toInt()) +
           (value < bar->minimumValue().toDouble() || value > bar->maximumValue().toDouble()
                ? " beyond its range"
                : "") +
           (value == bar->maximumValue().toDouble() ? " full" : "") +
           (idle ? "" : "|main window takes input");
  }

  QFont font_ = QApplication::font();
};

}  // namespace

std::unique_ptr<Form1Driver> OpenForm1() { return std::make_unique<QtForm1>(); }

namespace {

TEST(Form1Test, FormLoadNamesBothCataloguesBesideTheProgram) {
  TempFolder temp;
  Form1 form;
  EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "laid out before any font is set";
  form.Form_Load();
  const auto folder = std::filesystem::canonical("/proc/self/exe").parent_path().string();
  EXPECT_EQ(form.Text(Form1Control::kTxtSource), folder + "/velmora.kat");
  EXPECT_EQ(form.Text(Form1Control::kTxtDest), folder + "/velmora-neu.kat");
  EXPECT_EQ(PathInDirectory("/", '/', "velmora.kat"), "/velmora.kat");
  EXPECT_EQ(PathInDirectory("C:\\Tools", '\\', "velmora.kat"), "C:\\Tools\\velmora.kat");
  EXPECT_EQ(PathInDirectory("D:\\", '\\', "velmora.kat"), "D:\\velmora.kat");
  // Beside the program only in a folder of the user's own that the user may write in; below
  // /usr or /opt the home folder, even for root.
  EXPECT_EQ(CatalogueDirectory(temp.path().string(), "/home/anna"), temp.path().string());
  EXPECT_EQ(CatalogueDirectory("/usr/bin", "/home/anna"), "/home/anna");
  EXPECT_EQ(CatalogueDirectory("/opt", "/home/anna"), "/home/anna");
  // Without /proc, where root can take it away; then an ordinary user (65534 under root) with a
  // folder of its own closed to writing, and with /tmp, where all may write but root owns it.
  const pid_t child = ::fork();
  if (child == 0) {
    const bool without_proc =
        ::geteuid() != 0 ||
        (::unshare(CLONE_NEWNS) == 0 &&
         ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         ::umount2("/proc", MNT_DETACH) == 0 && !std::filesystem::exists("/proc/self") &&
         ProgramDirectory() == folder);
    const bool ordinary = without_proc && (::geteuid() != 0 || ::setuid(65534) == 0);
    const bool from_home =
        ::setenv("HOME", "/home/anna", 1) == 0 && HomeDirectory() == "/home/anna";
    ::setenv("HOME", "", 1);  // Without $HOME, the user's entry names the home folder.
    const bool to_home = [] {
      TempFolder own;
      std::filesystem::permissions(own.path(), std::filesystem::perms(0555));
      return CatalogueDirectory(own.path().string(), "/home/anna") == "/home/anna" &&
             CatalogueDirectory("/tmp", "/home/anna") == "/home/anna";
    }();
    ::_exit(ordinary && from_home && to_home && !HomeDirectory().empty() ? 0 : 1);
  }
  int status = -1;
  EXPECT_TRUE(::waitpid(child, &status, 0) == child && status == 0);
}

TEST(Form1Test, DropReplacesTheWholeTextWithOneLocalPath) {
  QtForm1 window;
  Form1& form = window.form_;
  // MIME type, data, the actions the source offers, and the path the box shows after it, or
  // none when the drop is refused. A drop is always a copy: a source that offers only to move
  // the file (and would delete it afterwards) is refused. A file manager's list of one or more
  // local files is the shared window test's.
  const std::tuple<const char*, const char*, Qt::DropActions, QString> cases[] = {
      {"text/plain", "/home/anna/velmora.kat", Qt::CopyAction,
       QStringLiteral("/home/anna/velmora.kat")},
      {"text/plain", "file:///srv/k.kat\n", Qt::CopyAction | Qt::MoveAction,
       QStringLiteral("/srv/k.kat")},
      {"text/uri-list", "file:///srv/k.kat\r\n", Qt::MoveAction, {}},
      {"text/uri-list", "https://www.velmora.example/k.kat\r\n", Qt::CopyAction, {}},
      {"text/plain", "ab://k.kat", Qt::CopyAction, {}},
      {"image/png", "k.kat", Qt::CopyAction, {}},
  };
  for (const auto& [type, data, actions, path] : cases) {
    form.txtSource->setText(QStringLiteral("/vorher.kat"));
    QMimeData mime;
    mime.setData(QString::fromLatin1(type), data);
    // With Shift held, a source that may move the file proposes to.
    QDragEnterEvent enter(QPoint(9, 9), actions, &mime, Qt::LeftButton, Qt::ShiftModifier);
    QDropEvent drop(QPointF(9, 9), actions, &mime, Qt::LeftButton, Qt::ShiftModifier);
    for (QDropEvent* event : {static_cast<QDropEvent*>(&enter), &drop}) {
      QApplication::sendEvent(form.txtSource, event);
      EXPECT_EQ(event->isAccepted(), !path.isEmpty()) << data;
      EXPECT_TRUE(!event->isAccepted() || event->dropAction() == Qt::CopyAction) << data;
    }
    EXPECT_EQ(form.txtSource->text(), path.isEmpty() ? QStringLiteral("/vorher.kat") : path);
  }
}

// Only Return alone presses a focused button, as Space does; with Ctrl or Alt it presses none.
TEST(Form1Test, ReturnWithAModifierPressesNoButton) {
  Form1 form;
  int clicks = 0;
  QObject::connect(form.cmdEnde, &QPushButton::clicked, [&] { ++clicks; });
  QTest::keyClick(form.cmdEnde, Qt::Key_Return, Qt::ControlModifier);
  QTest::keyClick(form.cmdEnde, Qt::Key_Return, Qt::AltModifier);
  QTest::keyClick(form.cmdEnde, Qt::Key_Space);
  EXPECT_EQ(clicks, 1) << "Space alone";
}

}  // namespace
}  // namespace tessaril::testing
