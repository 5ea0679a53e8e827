// lumora: the program's window.
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstring>

#include "ui/app_paths.hpp"
#include "app/main_window.hpp"
#include "app/manifest.hpp"
#include "app/termination_signals.hpp"
#include "common/file_io.hpp"
#include "common/version.hpp"
#include "tiling/tiling_window.hpp"

namespace {

constexpr const char* kUsage = R"(Usage: lumora [--tiling] [Qt options]

Lumora lists the diffraction reflections of quasicrystals and shows them as a
report, a zero-layer plot and a rotatable 3D plot; its tiling window builds
quasiperiodic rhombus tilings and the Fourier transform of their vertices.

Options:
  --tiling     open the tiling window instead of the main window
  --paths      show where the manual, the settings and the data files are
  --help       show this text
  --version    show the version

The inputs are kept in Lumora.cfg beside the program when that folder can be
written, else in ~/.config/Lumora. lumora-cli does the same calculations
without a window.
)";

bool Has(int argc, char** argv, const char* option) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], option) == 0) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before the window system is needed, so they work without a display.
  if (Has(argc, argv, "--version")) {
    std::printf("lumora %s\n", lumora::kVersion);
    return 0;
  }
  if (Has(argc, argv, "--help") || Has(argc, argv, "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (Has(argc, argv, "--paths")) {
    QCoreApplication core(argc, argv);
    const lumora::AppPaths paths;
    std::printf("manual:   %s\nsettings: %s\ndata:     %s\n", qPrintable(paths.helpFile()),
                qPrintable(paths.settingsFile()), qPrintable(paths.dataFolder()));
    return 0;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Lumora"));
  QApplication::setApplicationVersion(QString::fromLatin1(lumora::kVersion));

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
