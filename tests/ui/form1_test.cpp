#include "ui/form1.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCompleter>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/program_directory.h"
#include "tests/support/test_support.h"

namespace tessaril {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

// What a test saw of one message box, in the words of the check it feeds.
std::string Describe(const QMessageBox& box, const QWidget* form) {
  return box.windowTitle().toStdString() + "|" + std::to_string(box.icon()) + "|" +
         std::to_string(box.buttons().size()) + (box.button(QMessageBox::Ok) ? "|ok" : "|no ok") +
         (box.windowModality() == Qt::ApplicationModal ? "|modal" : "|modeless") +
         (box.parentWidget() == form ? "|over the window" : "|elsewhere") +
         (QGuiApplication::overrideCursor() ? "|wait cursor" : "") +
         (box.windowIcon().isNull() ? "|no icon" : "") + "|" + box.text().toStdString();
}

// Every modal box that `act` opens, described and answered from inside its own event loop;
// waits up to `wait_ms` for the first one.
std::vector<std::string> NoticesDuring(Form1& form, const std::function<void()>& act,
                                       int wait_ms = 0) {
  std::vector<std::string> seen;
  QTimer answerer;
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    seen.push_back(Describe(*box, &form));
    if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
      ok->click();
    } else {
      box->close();
    }
  });
  answerer.start(0);
  act();
  if (wait_ms > 0) (void)QTest::qWaitFor([&] { return !seen.empty(); }, wait_ms);
  return seen;
}

// Presses "Konvertieren" (with the mouse, or by `key` on the focused button).
std::vector<std::string> PressConvert(Form1& form, Qt::Key key = Qt::Key_unknown) {
  return NoticesDuring(form, [&] {
    if (key == Qt::Key_unknown) {
      QTest::mouseClick(form.cmdConvert, Qt::LeftButton);
    } else {
      form.cmdConvert->setFocus();
      QTest::keyClick(form.cmdConvert, key);
    }
  });
}

// The one notice a press shows: success, or the failure after its opening words.
std::string Notice(const std::string& failure) {
  const bool success = failure.empty();
  return "Velmora Tessaril 3.x --> 4.x|" +
         std::to_string(success ? QMessageBox::Information : QMessageBox::Critical) +
         "|1|ok|modal|over the window|" +
         (success ? "Konvertieren erfolgreich abgeschlossen"
                  : "Fehler beim konvertieren: " + failure);
}

class Form1Test : public ::testing::Test {
 protected:
  void SetUp() override {
    form_.show();
    form_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));
  }
  void SetPaths(const std::string& source, const std::string& dest) {
    form_.txtSource->setText(Text(source));
    form_.txtDest->setText(Text(dest));
  }

  testing::TempFolder folder_;
  Form1 form_;
};

// Every control in its place at the design's size, and at larger fonts in proportion to the
// font, with no text cut and no font shrunk.
TEST_F(Form1Test, ControlsHaveTheirTextsPlacesAndTabOrder) {
  struct Control {
    const QWidget* widget;
    const char* text;
    const char* name;  // What a screen reader says.
    QRect box;         // At 96 dpi.
  };
  const char* const warning =
      "Mit diesem Programm können Sie ihren alten Katalog aus einer Version 1.0 bis 3.x in das "
      "Format der neuen Version 4.x konvertieren. Bitte beachten Sie, dass die Konversion nicht "
      "rückgängig gemacht werden kann!";
  const Control controls[] = {
      {form_.Label1, warning, warning, QRect(8, 8, 393, 57)},
      {form_.Label2, "&alte Katalogdatei:", "alte Katalogdatei:", QRect(8, 72, 92, 19)},
      {form_.txtSource, "", "alte Katalogdatei:", QRect(104, 72, 297, 19)},
      {form_.Label3, "&neue Katalogdatei:", "neue Katalogdatei:", QRect(8, 96, 92, 19)},
      {form_.txtDest, "", "neue Katalogdatei:", QRect(104, 96, 297, 19)},
      {form_.cmdConvert, "&Konvertieren", "Konvertieren", QRect(200, 120, 113, 25)},
      {form_.cmdEnde, "&Ende", "Ende", QRect(320, 120, 81, 25)},
      {form_.Label4, "www.velmora.example", "www.velmora.example", QRect(0, 136, 185, 17)},
  };
  const auto accessible = [](const QWidget* w) {
    return QAccessible::queryAccessibleInterface(const_cast<QWidget*>(w));
  };
  // The font's pixel size (0: the desktop's own), and how far the window may have grown: at
  // least with the font, and at most a half more where a wide font needs it.
  const std::tuple<int, double, double> fonts[] = {
      {9, 1.0, 1.0}, {0, 1.0, 1.5}, {16, 16.0 / 12, 2.0}};
  for (const auto& [pixels, least_scale, most_scale] : fonts) {
    QFont font = QApplication::font();
    if (pixels != 0) font.setPixelSize(pixels);
    form_.setFont(font);
    const double scale = form_.width() / 408.0;
    SCOPED_TRACE(std::to_string(QFontInfo(font).pixelSize()) + " px, " + std::to_string(scale));
    if (pixels == 9) {
      EXPECT_EQ(form_.size(), QSize(408, 152));
    }
    EXPECT_GE(scale, least_scale);
    EXPECT_LE(scale, most_scale);
    EXPECT_NEAR(form_.height(), 152 * scale, 1);
    EXPECT_EQ(form_.minimumSize(), form_.maximumSize());
    for (const Control& c : controls) {
      SCOPED_TRACE(c.name);
      const QRect box = c.widget->geometry();
      EXPECT_NEAR(box.left(), c.box.left() * scale, 1);
      EXPECT_NEAR(box.top(), c.box.top() * scale, 1);
      EXPECT_NEAR(box.right() + 1, (c.box.right() + 1) * scale, 1);
      EXPECT_NEAR(box.bottom() + 1, (c.box.bottom() + 1) * scale, 1);
      EXPECT_EQ(c.widget->property("text").toString(), QString::fromUtf8(c.text));
      EXPECT_EQ(accessible(c.widget)->text(QAccessible::Name), QString::fromUtf8(c.name));
      EXPECT_EQ(QFontInfo(c.widget->font()).pixelSize(), QFontInfo(font).pixelSize());
      const QFontMetrics metrics = c.widget->fontMetrics();
      if (auto* label = qobject_cast<const QLabel*>(c.widget)) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_EQ(label->textInteractionFlags(), Qt::NoTextInteraction);
        EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
        // Whole text in its box; Label1 wraps over several lines.
        const QRect inside = label->contentsRect();
        const QRect needed = metrics.boundingRect(
            inside, Qt::TextShowMnemonic | (label->wordWrap() ? Qt::TextWordWrap : 0),
            label->text());
        EXPECT_TRUE(inside.contains(needed)) << needed.width() << "x" << needed.height();
      } else if (qobject_cast<const QPushButton*>(c.widget)) {
        EXPECT_LT(metrics.size(Qt::TextShowMnemonic, c.text).width(), box.width());
      } else {
        EXPECT_LE(c.widget->minimumSizeHint().height(), box.height());
      }
    }
    EXPECT_GE(form_.Label1->height(), 3 * form_.Label1->fontMetrics().lineSpacing());
  }
  EXPECT_EQ(form_.windowTitle(), QStringLiteral("Tessaril"));
  EXPECT_FALSE(form_.windowIcon().isNull());
  // A screen reader says the window by its title, and its warning as its description.
  EXPECT_EQ(accessible(&form_)->role(), QAccessible::Window);
  EXPECT_EQ(accessible(&form_)->text(QAccessible::Name), QStringLiteral("Tessaril"));
  EXPECT_EQ(accessible(&form_)->text(QAccessible::Description), QString::fromUtf8(warning));
  EXPECT_EQ(QApplication::focusWidget(), form_.txtSource);
  for (const QWidget* next : std::initializer_list<const QWidget*>{
           form_.txtDest, form_.cmdEnde, form_.cmdConvert, form_.txtSource}) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next);
  }
}

TEST_F(Form1Test, FormLoadNamesBothCataloguesBesideTheProgram) {
  form_.Form_Load();
  const auto folder = std::filesystem::canonical("/proc/self/exe").parent_path().string();
  EXPECT_EQ(form_.txtSource->text(), Text(folder + "/velmora.kat"));
  EXPECT_EQ(form_.txtDest->text(), Text(folder + "/velmora-neu.kat"));
  const std::pair<const char*, const char*> joins[] = {
      {"/", "/velmora.kat"}, {"C:\\Tools", "C:\\Tools\\velmora.kat"}, {"D:\\", "D:\\velmora.kat"}};
  for (const auto& [directory, path] : joins) {
    const char separator = std::string_view(path).find('\\') != std::string_view::npos ? '\\' : '/';
    EXPECT_EQ(PathInDirectory(directory, separator, "velmora.kat"), path);
  }
  // Where the user may not write beside the program, the home folder. Root may write anywhere,
  // so user 65534 tries the folder closed to writing.
  const std::string program = folder_.path().string();
  EXPECT_EQ(CatalogueDirectory(program, "/home/anna"), program);
  std::filesystem::permissions(folder_.path(), std::filesystem::perms(0555));
  const pid_t child = ::fork();
  if (child == 0) {
    const bool ordinary = ::geteuid() != 0 || ::setuid(65534) == 0;
    ::setenv("HOME", "", 1);  // Without $HOME, the user's entry names the home folder.
    const bool to_home = CatalogueDirectory(program, "/home/anna") == "/home/anna";
    ::_exit(ordinary && to_home && !HomeDirectory().empty() ? 0 : 1);
  }
  int status = -1;
  EXPECT_TRUE(::waitpid(child, &status, 0) == child && status == 0);
}

TEST_F(Form1Test, EachPressConvertsOnceAndShowsItsNotice) {
  const std::string source = folder_.File("alt.kat"), dest = folder_.File("neu.kat");
  struct Press {
    std::string source_bytes;  // Written to the source first, unless empty.
    std::string source_box;
    Qt::Key key;          // Return or Enter on the focused button, else the mouse.
    std::string failure;  // After "Fehler beim konvertieren: "; empty for a success.
    int records;          // The destination then holds the records of ValidCatalogue(records).
  };
  const Press presses[] = {
      {testing::ValidCatalogue(5), source, Qt::Key_unknown, "", 5},
      {testing::ValidCatalogue(2), source, Qt::Key_Return, "", 2},
      {testing::ValidCatalogue(2) + testing::CatalogLine("Kr\xE4mer", "", "1", "3\xE4.12.2020"),
       source, Qt::Key_Enter,
       "[13] Typen unverträglich in Zeile 3, Spalten 56 bis 65: „3ä.12.2020“", 2},
      {"", folder_.File("fehlt.kat"), Qt::Key_unknown,
       "[53] Datei nicht gefunden: „" + folder_.File("fehlt.kat") + "“", 2},
      {"", "", Qt::Key_unknown, "[52] Dateiname oder -nummer falsch: „“", 2},
  };
  for (const Press& press : presses) {
    SCOPED_TRACE(press.failure);
    if (!press.source_bytes.empty()) WriteBytes(source, press.source_bytes);
    SetPaths(press.source_box, dest);
    EXPECT_EQ(PressConvert(form_, press.key), std::vector{Notice(press.failure)});
    EXPECT_EQ(ReadBytes(dest), testing::ExpectedRecords(press.records));
    EXPECT_EQ(form_.txtSource->text(), Text(press.source_box)) << "the boxes keep their text";
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  }
}

TEST_F(Form1Test, ReturnEnterAndEscapeInABoxStartNothing) {
  WriteBytes(folder_.File("alt.kat"), testing::ValidCatalogue(1));
  SetPaths(folder_.File("alt.kat"), folder_.File("neu.kat"));
  for (QLineEdit* box : {form_.txtSource, form_.txtDest}) {
    box->setFocus();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
      QTest::keyClick(box, key);
    }
  }
  QApplication::processEvents();
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_TRUE(form_.isVisible());
  EXPECT_FALSE(std::filesystem::exists(folder_.File("neu.kat")));
}

// Alt and the underlined letter: into a box through its label, or a press of a button; the
// focus stays where it was for a button, and is there again after the notice.
TEST_F(Form1Test, AccessKeysFocusTheBoxesAndPressTheButtons) {
  WriteBytes(folder_.File("alt.kat"), testing::ValidCatalogue(1));
  SetPaths(folder_.File("alt.kat"), folder_.File("neu.kat"));
  struct AccessKey {
    QWidget* focus_before;
    Qt::Key key;
    QWidget* focus_after;
    bool converts;
  };
  const AccessKey keys[] = {
      {form_.cmdEnde, Qt::Key_A, form_.txtSource, false},
      {form_.cmdConvert, Qt::Key_N, form_.txtDest, false},
      {form_.txtDest, Qt::Key_K, form_.txtDest, true},
  };
  for (const AccessKey& k : keys) {
    SCOPED_TRACE(QKeySequence(k.key).toString().toStdString());
    k.focus_before->setFocus();
    const auto notices = NoticesDuring(
        form_, [&] { QTest::keyClick(k.focus_before, k.key, Qt::AltModifier); },
        k.converts ? 2000 : 0);
    EXPECT_EQ(notices, k.converts ? std::vector{Notice("")} : std::vector<std::string>{});
    EXPECT_EQ(std::filesystem::exists(folder_.File("neu.kat")), k.converts);
    // The control that gets the focus when the window is active again.
    EXPECT_EQ(form_.focusWidget(), k.focus_after);
    form_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));
  }
  QTest::keyClick(form_.txtSource, Qt::Key_E, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form_.isVisible(); }, 2000)) << "Alt+E closes";
}

TEST_F(Form1Test, DropReplacesTheWholeTextWithOneLocalPath) {
  // MIME type, data, the actions the source offers, and the path the box shows after it, or
  // none when the drop is refused. A drop is always a copy: a source that offers only to move
  // the file (and would delete it afterwards) is refused.
  const std::tuple<const char*, const char*, Qt::DropActions, QString> cases[] = {
      {"text/uri-list", "file:///tmp/alte%20Kataloge/j%C3%BC.kat\r\n", Qt::CopyAction,
       QStringLiteral("/tmp/alte Kataloge/jü.kat")},
      {"text/plain", "/home/anna/velmora.kat", Qt::CopyAction,
       QStringLiteral("/home/anna/velmora.kat")},
      {"text/plain", "file:///srv/k.kat\n", Qt::CopyAction | Qt::MoveAction,
       QStringLiteral("/srv/k.kat")},
      {"text/uri-list", "file:///srv/k.kat\r\n", Qt::MoveAction, {}},
      {"text/uri-list", "https://www.velmora.example/k.kat\r\n", Qt::CopyAction, {}},
      {"text/uri-list", "file:///a.kat\r\nfile:///b.kat\r\n", Qt::CopyAction, {}},
  };
  for (const auto& [type, data, actions, path] : cases) {
    form_.txtSource->setText(QStringLiteral("/vorher.kat"));
    QMimeData mime;
    mime.setData(QString::fromLatin1(type), data);
    QDragEnterEvent enter(QPoint(9, 9), actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(QPointF(9, 9), actions, &mime, Qt::LeftButton, Qt::NoModifier);
    for (QDropEvent* event : {static_cast<QDropEvent*>(&enter), &drop}) {
      QApplication::sendEvent(form_.txtSource, event);
      EXPECT_EQ(event->isAccepted(), !path.isEmpty()) << data;
      EXPECT_TRUE(!event->isAccepted() || event->dropAction() == Qt::CopyAction) << data;
    }
    EXPECT_EQ(form_.txtSource->text(), path.isEmpty() ? QStringLiteral("/vorher.kat") : path);
  }
}

TEST_F(Form1Test, BoxesCompleteFolderAndFileNames) {
  WriteBytes(folder_.File("velmora.kat"), "");
  std::filesystem::create_directory(folder_.path() / "Kataloge");
  for (QLineEdit* box : {form_.txtSource, form_.txtDest}) {
    const QString name = Text(folder_.File(box == form_.txtSource ? "Kataloge" : "velmora.kat"));
    box->setFocus();
    QTest::keyClicks(box, name.left(name.size() - 5));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return box->completer() && box->completer()->currentCompletion() == name; }));
  }
}

// Ends the program as `end` does; true when the event loop then came back by itself.
bool EventLoopEndsAfter(Form1& form, const std::function<void()>& end) {
  form.show();
  QTimer::singleShot(0, end);
  QTimer::singleShot(5000, [] { QApplication::exit(1); });
  const bool ended = QApplication::exec() == 0;
  return ended && !form.isVisible();
}

TEST(Form1End, EndeOrTheTitleBarEndsTheProgram) {
  Form1 by_button, by_title_bar;
  EXPECT_TRUE(EventLoopEndsAfter(by_button, [&] { by_button.cmdEnde->click(); }));
  // QWindow::close goes through the platform's close request, as the title bar's button does.
  EXPECT_TRUE(EventLoopEndsAfter(by_title_bar, [&] { by_title_bar.windowHandle()->close(); }));
}

}  // namespace
}  // namespace tessaril
