#include "tiling/tiling_file_actions.hpp"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <filesystem>
#include <iterator>

#include "common/file_io.hpp"
#include "tiling/tiling_export.hpp"
#include "tiling/tiling_options.hpp"
#include "tiling/tiling_views.hpp"
#include "tiling/xy_file.hpp"
#include "ui/dialogs.hpp"

namespace lumora {
namespace {

// Why `content` could not be written to `file`, after `what` ("The table was not saved."), or "".
QString Write(const QString& file, const std::string& content, const QString& what) {
  const WriteOutcome outcome = WriteFileAtomically(std::filesystem::path(QFile::encodeName(file).toStdString()), content);
  return outcome.ok ? QString() : QStringLiteral("%1\n%2").arg(what, QString::fromStdString(outcome.error));
}

// "NHA_<N>-<L>-<zoom>-<shift mode>", the classic stem of the tiling's files.
QString FileStem(const Tiling& tiling) {
  return QStringLiteral("NHA_%1-%2-%3-%4")
      .arg(tiling.inputs.symmetry)
      .arg(tiling.inputs.loopOrder)
      .arg(tiling.inputs.zoom)
      .arg(static_cast<int>(tiling.inputs.shiftMode));
}

}  // namespace

QString SaveTilingCoordinates(QWidget* parent, const AppPaths& paths, const Tiling& tiling) {
  // Named after the tiling on show, not after options changed since.
  const QString name = QString::fromStdString(ProposedXyFileName(tiling.inputs));
  const QString chosen = Dialogs().saveFileName(parent, QStringLiteral("Save XY Data"),
                                                QDir(paths.exportFolder()).filePath(name),
                                                QStringLiteral("XY-File (*.xy)"));
  if (chosen.isEmpty()) return QString();
  return Write(chosen, XyFileText(tiling.vertX, tiling.vertY), QStringLiteral("The coordinates were not saved."));
}

QString SaveTilingPicture(QWidget* parent, const AppPaths& paths, const Tiling& tiling, int tab, const QImage& shown) {
  // By tab; the list has no picture of its own and saves the vertex picture.
  static const char* names[] = {"tiling", "vertices", "vertices", "ft", "diffraction", "internal", "statistics"};
  const int named = std::clamp(tab, 0, static_cast<int>(std::size(names)) - 1);
  const QString base = FileStem(tiling) + QStringLiteral("_%1").arg(QString::fromLatin1(names[named]));
  const bool svg = tab == TilingViews::TilingTab;
  const QString chosen = Dialogs().saveFileName(
      parent, QStringLiteral("Save Picture"), QDir(paths.exportFolder()).filePath(base + QStringLiteral(".png")),
      svg ? QStringLiteral("PNG picture (*.png);;SVG drawing (*.svg)") : QStringLiteral("PNG picture (*.png)"));
  if (chosen.isEmpty()) return QString();
  std::string content;
  if (svg && chosen.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
    content = TilingSvg(tiling);
  } else {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!shown.save(&buffer, "PNG")) return QStringLiteral("The picture was not saved: it could not be encoded as PNG.");
    content = bytes.toStdString();
  }
  return Write(chosen, content, QStringLiteral("The picture was not saved."));
}

QString SaveTilingTable(QWidget* parent, const AppPaths& paths, const Tiling& tiling, bool vertices) {
  const QString chosen = Dialogs().saveFileName(
      parent, vertices ? QStringLiteral("Save Vertices CSV") : QStringLiteral("Save Tiles CSV"),
      QDir(paths.exportFolder())
          .filePath(FileStem(tiling) + (vertices ? QStringLiteral("_vertices.csv") : QStringLiteral("_tiles.csv"))),
      QStringLiteral("CSV table (*.csv)"));
  if (chosen.isEmpty()) return QString();
  return Write(chosen, vertices ? VerticesCsv(tiling) : TilesCsv(tiling), QStringLiteral("The table was not saved."));
}

QString SaveTilingPeaks(QWidget* parent, const AppPaths& paths, const Tiling& tiling, const std::vector<ModulePoint>& points,
                        const std::vector<double>& intensity) {
  const QString chosen = Dialogs().saveFileName(parent, QStringLiteral("Save Peaks CSV"),
                                                QDir(paths.exportFolder()).filePath(FileStem(tiling) + QStringLiteral("_peaks.csv")),
                                                QStringLiteral("CSV table (*.csv)"));
  if (chosen.isEmpty()) return QString();
  return Write(chosen, PeaksCsv(tiling.inputs.symmetry, points, intensity), QStringLiteral("The peaks were not saved."));
}

QUrl TilingHelpUrl(const AppPaths& paths) {
  QUrl url = QUrl::fromLocalFile(paths.helpFile());
  url.setFragment(QStringLiteral("tiling"));
  return url;
}

void OpenTilingHelp(const AppPaths& paths) {
  const QUrl target = TilingHelpUrl(paths);
  const QString forward = AppPaths::tempFile(QStringLiteral("lumora-help-tiling.html"));
  if (!forward.isEmpty()) {
    const QString address = target.toString(QUrl::FullyEncoded).toHtmlEscaped();
    const QString page = QStringLiteral(
                             "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                             "<meta http-equiv=\"refresh\" content=\"0; url=%1\"><title>Lumora help</title></head>"
                             "<body><a href=\"%1\">The tiling window</a></body></html>\n")
                             .arg(address);
    if (Write(forward, page.toStdString(), QString()).isEmpty() && Dialogs().openUrl(QUrl::fromLocalFile(forward))) return;
  }
  Dialogs().openUrl(target);
}

}  // namespace lumora
