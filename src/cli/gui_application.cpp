#include "cli/gui_application.hpp"

#include <QGuiApplication>
#include <cstdio>

namespace lumora::cli {

void EnsureGuiApplication() {
  if (QGuiApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Qt's notes about the session (no runtime folder, ...) are not the user's concern here.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "lumora-cli: %s\n", qPrintable(message));
  });
  static int argc = 1;
  static char name[] = "lumora-cli";
  static char* argv[] = {name, nullptr};
  static QGuiApplication app(argc, argv);
}

}  // namespace lumora::cli
