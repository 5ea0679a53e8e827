// lumora: the program's window.
#include <QApplication>
#include <QStringList>

#include "app/app_paths.hpp"
#include "app/main_window.hpp"
#include "app/manifest.hpp"
#include "app/termination_signals.hpp"
#include "tiling/tiling_window.hpp"
#include "common/file_io.hpp"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Lumora"));
  QApplication::setOrganizationName(QStringLiteral("Lumora"));
  QApplication::setApplicationVersion(QStringLiteral("1.3"));

  const lumora::AppPaths paths;
  // Rewritten at every start; a folder that cannot be written is no reason to stop.
  lumora::WriteFileAtomically(paths.manifestFile().toStdString(), lumora::ManifestText());

  if (QApplication::arguments().contains(QStringLiteral("--tiling"))) {
    lumora::TilingWindow tiling(paths);
    lumora::CloseOnTerminationSignals(&tiling);
    tiling.show();
    return QApplication::exec();
  }
  lumora::MainWindow window(paths);
  lumora::CloseOnTerminationSignals(&window);
  window.show();
  return QApplication::exec();
}
