#include <QApplication>
#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

#include "platform/atomic_output_file.h"
#include "ui/form1.h"

namespace {

constexpr const char* kNoDisplay =
    "Kein Bildschirm gefunden: Tessaril braucht einen Desktop (DISPLAY oder WAYLAND_DISPLAY ist "
    "nicht gesetzt).\n";
constexpr const char* kDisplayUnreachable =
    "Tessaril kann sein Fenster nicht öffnen: der Bildschirm ist nicht erreichbar oder Qts "
    "Plattformmodul fehlt.\n";

// Only an X11 or Wayland desktop is found through the environment; Windows and macOS always
// have their own.
bool DisplayNamed() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
  return !qEnvironmentVariableIsEmpty("DISPLAY") ||
         !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
         !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
#else
  return true;
#endif
}

// Qt's messages while it connects to the display, held back so that a failed start shows one
// line of ours instead of Qt's warnings and its abort.
struct HeldMessage {
  QtMsgType type;
  QByteArray category;
  QString text;
};

QList<HeldMessage>& HeldMessages() {
  static QList<HeldMessage> messages;
  return messages;
}

void HoldMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    std::fputs(kDisplayUnreachable, stderr);
    std::fflush(stderr);
    // Qt's state is half built; leave without running its destructors.
    std::_Exit(EXIT_FAILURE);
  }
  HeldMessages().append({type, QByteArray(context.category), text});
}

}  // namespace

int main(int argc, char* argv[]) {
  tessaril::IgnoreFileSizeSignal();
  if (!DisplayNamed()) {
    std::fputs(kNoDisplay, stderr);
    return EXIT_FAILURE;
  }
  const QtMessageHandler qt_handler = qInstallMessageHandler(HoldMessage);
  QApplication application(argc, argv);
  qInstallMessageHandler(qt_handler);
  for (const HeldMessage& message : HeldMessages()) {
    qt_handler(message.type, QMessageLogContext(nullptr, 0, nullptr, message.category.constData()),
               message.text);
  }
  HeldMessages().clear();
  QGuiApplication::setDesktopFileName(QStringLiteral("tessaril"));

  tessaril::Form1 form;
  form.Form_Load();
  form.show();
  return application.exec();
}
