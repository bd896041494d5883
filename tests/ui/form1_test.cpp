#include "ui/form1.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCompleter>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "catalog/record_writer.h"
#include "platform/program_directory.h"
#include "tests/support/catalog_lines.h"
#include "tests/support/temp_folder.h"

// Lets GoogleTest show a text that differs as text.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace tessaril {
namespace {

using testing::CatalogLine;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

// What a test saw of one message box.
struct SeenNotice {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  qsizetype button_count = 0;
  bool application_modal = false;
  QWidget* parent = nullptr;
  bool override_cursor = false;
  bool window_icon = false;
};

// Answers the next modal message box from inside its own event loop: notes what it shows and
// presses its OK button. Anything else that turns up modal is closed, so no test can hang.
class NoticeAnswerer {
 public:
  NoticeAnswerer() {
    timer_.setInterval(0);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Answer(); });
    timer_.start();
  }

  const std::vector<SeenNotice>& seen() const { return seen_; }

 private:
  void Answer() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return;
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr) {
      ADD_FAILURE() << "an unexpected modal window: " << modal->metaObject()->className();
      modal->close();
      return;
    }
    seen_.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                     box->buttons().size(), box->windowModality() == Qt::ApplicationModal,
                     box->parentWidget(), QGuiApplication::overrideCursor() != nullptr,
                     !box->windowIcon().isNull()});
    QAbstractButton* ok = box->button(QMessageBox::Ok);
    if (ok == nullptr) {
      box->close();
      return;
    }
    QTest::mouseClick(ok, Qt::LeftButton);
  }

  QTimer timer_;
  std::vector<SeenNotice> seen_;
};

// Presses "Konvertieren" with the mouse and gives back the one notice that followed.
std::optional<SeenNotice> Convert(Form1& form) {
  NoticeAnswerer answerer;
  QTest::mouseClick(form.cmdConvert, Qt::LeftButton);
  EXPECT_EQ(answerer.seen().size(), 1u);
  if (answerer.seen().size() != 1) return std::nullopt;
  return answerer.seen().front();
}

void ExpectNoticeFrame(const SeenNotice& notice, const Form1& form, QMessageBox::Icon icon) {
  EXPECT_EQ(notice.title, QStringLiteral("Velmora Tessaril 3.x --> 4.x"));
  EXPECT_EQ(notice.icon, icon);
  EXPECT_EQ(notice.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_EQ(notice.button_count, 1);
  EXPECT_TRUE(notice.application_modal);
  EXPECT_EQ(notice.parent, &form);
  EXPECT_FALSE(notice.override_cursor) << "the wait cursor must be gone before the notice";
  EXPECT_TRUE(notice.window_icon);
}

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

// The catalogue lines are Windows-1252: "\xFC" is ü, "\xDF" is ß, "\xF6" is ö.
std::string ThreeLines() {
  return CatalogLine("M\xFCller",
                     "Hauptstra\xDF"
                     "e 1",
                     "12,5", "24.12.2020") +
         "\r\n" + CatalogLine("B\xF6hm", "Ringweg 7", "3", "01.02.2019") + "\r\n" +
         CatalogLine("Lange", "Am Markt 12", "0,75", "29.02.2020") + "\r\n";
}

class Form1Test : public ::testing::Test {
 protected:
  void ShowActive() {
    form_.show();
    form_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));
  }

  TempFolder folder_;
  Form1 form_;
};

TEST_F(Form1Test, ControlsHaveTheirTextsPlacesAndSizes) {
  struct Control {
    const QWidget* widget;
    QString text;
    QRect box;
  };
  const auto label_text = [](const QLabel* label) { return label->text(); };
  const Control controls[] = {
      {form_.Label1, label_text(form_.Label1), QRect(8, 8, 393, 57)},
      {form_.Label2, QStringLiteral("alte Katalogdatei:"), QRect(8, 72, 97, 17)},
      {form_.txtSource, QString(), QRect(104, 72, 297, 19)},
      {form_.Label3, QStringLiteral("neue Katalogdatei:"), QRect(8, 96, 97, 17)},
      {form_.txtDest, QString(), QRect(104, 96, 297, 19)},
      {form_.cmdConvert, QStringLiteral("Konvertieren"), QRect(200, 120, 113, 25)},
      {form_.cmdEnde, QStringLiteral("Ende"), QRect(320, 120, 81, 25)},
      {form_.Label4, QStringLiteral("www.velmora.example"), QRect(0, 136, 185, 17)},
  };
  EXPECT_EQ(form_.Label1->text(),
            QStringLiteral("Mit diesem Programm können Sie ihren alten Katalog aus einer Version "
                           "1.0 bis 3.x in das Format der neuen Version 4.x konvertieren. Bitte "
                           "beachten Sie, dass die Konversion nicht rückgängig gemacht werden "
                           "kann!"));
  for (const Control& control : controls) {
    SCOPED_TRACE(std::string(control.widget->metaObject()->className()) + " " +
                 control.text.toStdString());
    EXPECT_EQ(control.widget->parentWidget(), &form_);
    EXPECT_EQ(control.widget->geometry(), control.box);
    if (auto* label = qobject_cast<const QLabel*>(control.widget)) {
      EXPECT_EQ(label->text(), control.text);
      EXPECT_EQ(label->textFormat(), Qt::PlainText);
      EXPECT_EQ(label->textInteractionFlags(), Qt::NoTextInteraction);
      EXPECT_FALSE(label->openExternalLinks());
      EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
    } else if (auto* button = qobject_cast<const QPushButton*>(control.widget)) {
      EXPECT_EQ(button->text(), control.text);
    } else if (auto* box = qobject_cast<const QLineEdit*>(control.widget)) {
      EXPECT_EQ(box->text(), control.text) << "filled only by Form_Load";
    } else {
      ADD_FAILURE() << "unexpected kind of control";
    }
  }
  EXPECT_EQ(form_.windowTitle(), QStringLiteral("Tessaril"));
  EXPECT_FALSE(form_.windowIcon().isNull());
  EXPECT_EQ(form_.minimumSize(), QSize(408, 152));
  EXPECT_EQ(form_.maximumSize(), QSize(408, 152));
  ShowActive();
  EXPECT_EQ(form_.size(), QSize(408, 152));
}

TEST_F(Form1Test, TabGoesFromTheBoxesToEndeThenKonvertierenAndBack) {
  ShowActive();
  EXPECT_EQ(QApplication::focusWidget(), form_.txtSource) << "first focus";
  const QWidget* const order[] = {form_.txtDest, form_.cmdEnde, form_.cmdConvert, form_.txtSource};
  for (const QWidget* expected : order) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), expected);
  }
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget(), form_.cmdConvert);
}

TEST_F(Form1Test, ReturnPressesOnlyAFocusedButton) {
  WriteBytes(folder_.File("velmora.kat"), ThreeLines());
  form_.txtSource->setText(Text(folder_.File("velmora.kat")));
  form_.txtDest->setText(Text(folder_.File("velmora-neu.kat")));
  ShowActive();
  NoticeAnswerer answerer;
  for (QLineEdit* box : {form_.txtSource, form_.txtDest}) {
    box->setFocus();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
      QTest::keyClick(box, key);
      QApplication::processEvents();
    }
  }
  EXPECT_TRUE(answerer.seen().empty());
  EXPECT_TRUE(form_.isVisible());
  EXPECT_FALSE(std::filesystem::exists(folder_.File("velmora-neu.kat")));
  // On a focused button they press it.
  form_.cmdConvert->setFocus();
  QTest::keyClick(form_.cmdConvert, Qt::Key_Return);
  QTest::keyClick(form_.cmdConvert, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(answerer.seen().size(), 2u);
}

TEST_F(Form1Test, AssistiveTechnologyNamesTheWindowAndEachBoxByItsLabel) {
  QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&form_);
  EXPECT_EQ(window->role(), QAccessible::Window);
  EXPECT_EQ(window->text(QAccessible::Name), QStringLiteral("Tessaril"));
  for (const auto& [box, label] :
       {std::pair{form_.txtSource, form_.Label2}, std::pair{form_.txtDest, form_.Label3}}) {
    EXPECT_EQ(QAccessible::queryAccessibleInterface(box)->text(QAccessible::Name), label->text());
  }
}

TEST_F(Form1Test, DropReplacesTheWholeTextWithOneLocalPath) {
  // MIME type, data, and the path the box shows after it, or none when the drop is refused.
  const std::tuple<const char*, const char*, QString> cases[] = {
      {"text/uri-list", "file:///tmp/alte%20Kataloge/j%C3%BC.kat\r\n",
       QStringLiteral("/tmp/alte Kataloge/jü.kat")},
      {"text/plain", "/home/anna/velmora.kat", QStringLiteral("/home/anna/velmora.kat")},
      {"text/plain", "file:///srv/k.kat\n", QStringLiteral("/srv/k.kat")},
      {"text/uri-list", "https://www.velmora.example/k.kat\r\n", {}},
      {"text/uri-list", "file:///a.kat\r\nfile:///b.kat\r\n", {}},
  };
  for (const auto& [type, data, path] : cases) {
    form_.txtSource->setText(QStringLiteral("/vorher.kat"));
    QMimeData mime;
    mime.setData(QString::fromLatin1(type), data);
    QDragEnterEvent enter(QPoint(9, 9), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(QPointF(9, 9), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    for (QDropEvent* event : {static_cast<QDropEvent*>(&enter), &drop}) {
      QApplication::sendEvent(form_.txtSource, event);
      EXPECT_EQ(event->isAccepted(), !path.isEmpty()) << data;
    }
    EXPECT_EQ(form_.txtSource->text(), path.isEmpty() ? QStringLiteral("/vorher.kat") : path);
  }
}

TEST_F(Form1Test, BoxesCompleteFolderAndFileNames) {
  WriteBytes(folder_.File("velmora.kat"), "");
  std::filesystem::create_directory(folder_.path() / "Kataloge");
  ShowActive();
  for (QLineEdit* box : {form_.txtSource, form_.txtDest}) {
    const QString name = Text(folder_.File(box == form_.txtSource ? "Kataloge" : "velmora.kat"));
    QTest::keyClicks(box, name.left(name.size() - 5));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return box->completer() && box->completer()->currentCompletion() == name; }));
  }
}

// Root may write anywhere, so the folder closed to writing is tried by an ordinary user.
TEST(CatalogueDirectory, TheProgramFolderWhenWritableElseHome) {
  const TempFolder folder;
  const std::string program = folder.path().string();
  EXPECT_EQ(CatalogueDirectory(program, "/home/anna"), program);
  std::filesystem::permissions(folder.path(), std::filesystem::perms(0555));
  const pid_t child = ::fork();
  if (child == 0) {
    const bool ordinary = ::geteuid() != 0 || ::setuid(65534) == 0;
    ::_exit(ordinary && CatalogueDirectory(program, "/home/anna") == "/home/anna" ? 0 : 1);
  }
  int status = -1;
  EXPECT_TRUE(::waitpid(child, &status, 0) == child && status == 0);
}

TEST_F(Form1Test, FormLoadNamesBothCataloguesBesideTheProgram) {
  form_.Form_Load();
  const std::string directory = std::filesystem::canonical("/proc/self/exe").parent_path().string();
  EXPECT_EQ(form_.txtSource->text(), Text(directory + "/velmora.kat"));
  EXPECT_EQ(form_.txtDest->text(), Text(directory + "/velmora-neu.kat"));
}

TEST_F(Form1Test, SuccessConvertsAndShowsTheInformationNotice) {
  WriteBytes(folder_.File("alt.kat"), ThreeLines());
  form_.txtSource->setText(Text(folder_.File("alt.kat")));
  form_.txtDest->setText(Text(folder_.File("neu.kat")));
  ShowActive();

  const std::optional<SeenNotice> notice = Convert(form_);
  ASSERT_TRUE(notice);
  ExpectNoticeFrame(*notice, form_, QMessageBox::Information);
  EXPECT_EQ(notice->text, QStringLiteral("Konvertieren erfolgreich abgeschlossen"));
  const std::string records = ReadBytes(folder_.File("neu.kat"));
  ASSERT_EQ(records.size(), 3 * kRecordSize);
  EXPECT_EQ(records.substr(0, 6), "M\xFCller");
  EXPECT_EQ(records.substr(2 * kRecordSize, 5), "Lange");
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(form_.txtSource->text(), Text(folder_.File("alt.kat")));
  EXPECT_EQ(form_.txtDest->text(), Text(folder_.File("neu.kat")));
}

TEST_F(Form1Test, FailuresShowTheCriticalNoticeAndLeaveNoDestination) {
  struct Case {
    const char* name;
    std::string source_bytes;  // Not written when empty.
    std::string source;        // Relative to the folder; empty leaves the box empty.
    QString text_start;
    QStringList text_parts;
  };
  const Case cases[] = {
      {"bad date in line 3",
       ThreeLines().substr(0, 2 * 67) + CatalogLine("Kr\xE4mer", "Weg 2", "1", "3\xE4.12.2020"),
       "alt.kat",
       QStringLiteral("Fehler beim konvertieren: [13] "),
       {QStringLiteral("Zeile 3"), QStringLiteral("3ä.12.2020")}},
      {"missing source",
       "",
       "fehlt.kat",
       QStringLiteral("Fehler beim konvertieren: [53] "),
       {Text(folder_.File("fehlt.kat"))}},
      {"missing folder",
       "",
       "kein/Ordner/alt.kat",
       QStringLiteral("Fehler beim konvertieren: [76] "),
       {Text(folder_.File("kein/Ordner/alt.kat"))}},
      {"empty source box", "", "", QStringLiteral("Fehler beim konvertieren: [52] "), {}},
  };
  ShowActive();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.source_bytes.empty()) WriteBytes(folder_.File(c.source), c.source_bytes);
    form_.txtSource->setText(c.source.empty() ? QString() : Text(folder_.File(c.source)));
    form_.txtDest->setText(Text(folder_.File("neu.kat")));

    const std::optional<SeenNotice> notice = Convert(form_);
    ASSERT_TRUE(notice);
    ExpectNoticeFrame(*notice, form_, QMessageBox::Critical);
    EXPECT_TRUE(notice->text.startsWith(c.text_start)) << notice->text.toStdString();
    for (const QString& part : c.text_parts) {
      EXPECT_TRUE(notice->text.contains(part)) << notice->text.toStdString();
    }
    EXPECT_FALSE(std::filesystem::exists(folder_.File("neu.kat")));
  }
}

TEST_F(Form1Test, SecondConversionReplacesTheFirstResult) {
  const std::string five = ThreeLines() + CatalogLine("Vogt", "Ufer 3", "2", "02.03.2021") +
                           "\r\n" + CatalogLine("Wendt", "Tor 9", "4,5", "09.09.2009") + "\r\n";
  WriteBytes(folder_.File("alt.kat"), five);
  form_.txtSource->setText(Text(folder_.File("alt.kat")));
  form_.txtDest->setText(Text(folder_.File("neu.kat")));
  ShowActive();

  std::optional<SeenNotice> notice = Convert(form_);
  ASSERT_TRUE(notice);
  EXPECT_EQ(notice->icon, QMessageBox::Information);
  EXPECT_EQ(ReadBytes(folder_.File("neu.kat")).size(), 5 * kRecordSize);

  WriteBytes(folder_.File("alt.kat"), CatalogLine("Vogt", "Ufer 3", "2", "02.03.2021"));
  notice = Convert(form_);
  ASSERT_TRUE(notice);
  EXPECT_EQ(notice->icon, QMessageBox::Information);
  const std::string records = ReadBytes(folder_.File("neu.kat"));
  ASSERT_EQ(records.size(), kRecordSize);
  EXPECT_EQ(records.substr(0, 4), "Vogt");
}

TEST_F(Form1Test, SampleCatalogueConvertsWhole) {
  const std::string sample = ReadBytes(TESSARIL_SAMPLE_CATALOG);
  ASSERT_EQ(sample.size() % 67, 0u) << "65 columns and CR LF on every line";
  WriteBytes(folder_.File("velmora.kat"), sample);
  form_.txtSource->setText(Text(folder_.File("velmora.kat")));
  form_.txtDest->setText(Text(folder_.File("velmora-neu.kat")));
  ShowActive();
  const std::optional<SeenNotice> notice = Convert(form_);
  ASSERT_TRUE(notice);
  EXPECT_EQ(notice->text, QStringLiteral("Konvertieren erfolgreich abgeschlossen"));
  EXPECT_EQ(ReadBytes(folder_.File("velmora-neu.kat")).size(), sample.size() / 67 * kRecordSize);
}

// Every label shows its whole text in its box, whatever font the desktop gives the program.
TEST(Form1Font, EveryLabelShowsItsWholeText) {
  const QFont offscreen_default = QApplication::font();
  std::vector<QFont> desktop_fonts = {offscreen_default};
  for (const auto& [family, points] :
       {std::pair{"DejaVu Sans", 10}, std::pair{"DejaVu Sans", 11}, std::pair{"DejaVu Serif", 14},
        std::pair{"DejaVu Sans", 16}}) {
    desktop_fonts.emplace_back(QString::fromLatin1(family), points);
  }
  for (const QFont& desktop_font : desktop_fonts) {
    SCOPED_TRACE(desktop_font.toString().toStdString());
    QApplication::setFont(desktop_font);
    Form1 form;
    EXPECT_GE(QFontInfo(form.font()).pixelSize(), 9) << "still readable";
    for (const QLabel* label : {form.Label1, form.Label2, form.Label3, form.Label4}) {
      SCOPED_TRACE(label->text().toStdString());
      const QRect box = label->contentsRect();
      const int flags =
          static_cast<int>(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
      const QFontMetrics metrics = label->fontMetrics();
      const QRect needed = metrics.boundingRect(box, flags, label->text());
      EXPECT_LE(needed.height(), box.height());
      EXPECT_LE(needed.width(), box.width());
      if (label == form.Label1) {
        EXPECT_GE(needed.height(), 3 * metrics.lineSpacing()) << "wraps over several lines";
      }
    }
  }
  QApplication::setFont(offscreen_default);
}

// Ends the program the way `end` does and tells whether the event loop came back by itself.
bool EventLoopEndsAfter(Form1& form, const std::function<void()>& end) {
  form.show();
  bool ended_by_test = false;
  QTimer::singleShot(0, end);
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [&] {
    ended_by_test = true;
    QApplication::exit(1);
  });
  guard.start(5000);
  const int result = QApplication::exec();
  EXPECT_EQ(result, ended_by_test ? 1 : 0);
  return !ended_by_test;
}

TEST(Form1End, EndeEndsTheProgram) {
  Form1 form;
  EXPECT_TRUE(EventLoopEndsAfter(form, [&] { QTest::mouseClick(form.cmdEnde, Qt::LeftButton); }));
  EXPECT_FALSE(form.isVisible());
}

TEST(Form1End, ClosingFromTheTitleBarEndsTheProgram) {
  Form1 form;
  // QWindow::close goes through the platform's close request, as the title bar's button does.
  EXPECT_TRUE(EventLoopEndsAfter(form, [&] { form.windowHandle()->close(); }));
  EXPECT_FALSE(form.isVisible());
}

TEST(PathInDirectory, JoinsWithExactlyOneSeparator) {
  struct Case {
    QString directory;
    QChar separator;
    QString expected;
  };
  const Case cases[] = {
      {QStringLiteral("/"), u'/', QStringLiteral("/velmora.kat")},
      {QStringLiteral("/opt/tools"), u'/', QStringLiteral("/opt/tools/velmora.kat")},
      {QStringLiteral("C:\\Tools"), u'\\', QStringLiteral("C:\\Tools\\velmora.kat")},
      {QStringLiteral("D:\\"), u'\\', QStringLiteral("D:\\velmora.kat")},
      {QStringLiteral("/home/jürgen/Kataloge"), u'/',
       QStringLiteral("/home/jürgen/Kataloge/velmora.kat")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PathInDirectory(c.directory, c.separator, QStringLiteral("velmora.kat")), c.expected);
  }
}

}  // namespace
}  // namespace tessaril
