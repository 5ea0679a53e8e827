#include "plots/plot_output.hpp"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QMimeData>
#include <QPainter>
#include <QPrinter>
#include <QSaveFile>
#include <QTextDocument>

#include "ui/dialogs.hpp"
#include "ui/window_preferences.hpp"
#include "common/file_io.hpp"
#include "plots/metafile.hpp"
#include "plots/plot_box.hpp"
#include "plots/plot_controller.hpp"
#include "plots/print_scene.hpp"
#include "plots/raster_painter.hpp"
#include "plots/scene_painter.hpp"
#include "report/reflection_table_pane.hpp"

namespace lumora {
namespace {

// The picture a box shows; an empty box gives a picture of its background.
QImage ShownPicture(const PlotBox* box) {
  if (!box->picture().isNull()) return box->picture();
  QImage blank(std::max(box->width(), 1), std::max(box->height(), 1), QImage::Format_RGB32);
  blank.fill(ToQColor(box->backColor()));
  return blank;
}

bool SaveBytes(const QString& path, const QByteArray& bytes, QString* error) {
  const WriteOutcome outcome = WriteFileAtomically(path.toStdString(), std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  if (!outcome.ok) *error = QString::fromStdString(outcome.error);
  return outcome.ok;
}

bool SaveImage(const QString& path, const QImage& image, const char* format, QString* error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    *error = file.errorString();
    return false;
  }
  QImageWriter writer(&file, format);
  if (!writer.write(image)) {
    *error = writer.errorString();
    file.cancelWriting();
    return false;
  }
  if (!file.commit()) {
    *error = file.errorString();
    return false;
  }
  return true;
}

}  // namespace

PlotOutput::PlotOutput(QWidget* window, PlotController* plots, const AppPaths& paths, RunAccess run)
    : QObject(window), window_(window), plots_(plots), paths_(paths), run_(std::move(run)) {}

bool PlotOutput::requireData() {
  if (run_.calculated()) return true;
  Dialogs().message(window_, QStringLiteral("no data"));
  return false;
}

PlotBox* PlotOutput::source(int code) const {
  if (plots_->bigViewOpen() && plots_->bigShows3D() == (code == k3DPlot)) return plots_->bigBox();
  return code == k3DPlot ? plots_->box3D() : plots_->box2D();
}

QString PlotOutput::metafilePath() const { return AppPaths::tempFile(QStringLiteral("a.wmf")); }

void PlotOutput::saveBitmap(int code) {
  if (!requireData()) return;
  const QString proposed = InLastDialogFolder(paths_.dataFolder(), QStringLiteral("lumora%1D.bmp").arg(code));
  QString path = Dialogs().saveFileName(
      window_, QStringLiteral("Save Bitmap (*.BMP)"), proposed,
      QStringLiteral("Bitmap image (*.bmp);;PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)"));
  if (path.isEmpty()) return;
  RememberDialogFolder(path);
  QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix.isEmpty()) {
    path += QStringLiteral(".bmp");
    suffix = QStringLiteral("bmp");
  }
  const PlotBox* box = source(code);
  // View -> Caption on Saved Pictures: the run's parameters top left.
  const std::string caption = plots_->options().captionOnSaved && run_.caption ? run_.caption() : std::string();
  QString error;
  bool ok = false;
  if (suffix == QLatin1String("svg") || suffix == QLatin1String("pdf")) {
    const PlotScene scene = code == k3DPlot ? plots_->scene3D(box->scaleWidth(), box->scaleHeight(), caption)
                                            : plots_->scene2D(box->scaleWidth(), box->scaleHeight(), caption);
    ok = SaveBytes(path, suffix == QLatin1String("svg") ? SceneToSvg(scene) : SceneToPdf(scene), &error);
  } else {
    const QImage picture = caption.empty() || box->picture().isNull()
                               ? ShownPicture(box)
                               : plots_->captionedPicture(box, code == k3DPlot, caption);
    ok = SaveImage(path, picture, suffix == QLatin1String("png") ? "png" : "bmp", &error);
  }
  if (!ok) Dialogs().warning(window_, QStringLiteral("The picture was not saved: %1").arg(error));
}

void PlotOutput::copyMetafile(int code) {
  if (!requireData()) return;
  const PlotBox* box = source(code);
  const PlotScene scene = code == k3DPlot ? plots_->scene3D(box->scaleWidth(), box->scaleHeight())
                                          : plots_->scene2D(box->scaleWidth(), box->scaleHeight());
  const int unitsPerInch = plots_->bigViewOpen() ? kLargeViewUnitsPerInch : kTwipsPerInch;
  const Bytes metafile = PlaceableMetafile(scene, unitsPerInch);
  const QByteArray bytes(reinterpret_cast<const char*>(metafile.data()), static_cast<qsizetype>(metafile.size()));
  QString error;
  if (!SaveBytes(metafilePath(), bytes, &error))
    Dialogs().warning(window_, QStringLiteral("The metafile was not written: %1").arg(error));

  // Windows programs read the metafile; Linux programs take the SVG or the picture.
  auto* mime = new QMimeData;
  mime->setData(QStringLiteral("image/x-wmf"), bytes);
  mime->setData(QStringLiteral("image/wmf"), bytes);
  // The name LibreOffice gives metafiles on the X11 clipboard.
  mime->setData(QStringLiteral("application/x-openoffice-wmf;windows_formatname=\"Image WMF\""), bytes);
  mime->setData(QStringLiteral("image/svg+xml"), SceneToSvg(scene));
  mime->setImageData(RasterizeScene(scene, box->width(), box->height()));
  QApplication::clipboard()->setMimeData(mime);
}

void PlotOutput::copyBitmap(int code) { QApplication::clipboard()->setImage(ShownPicture(source(code))); }

void PlotOutput::printPlot(int code) {
  if (!requireData()) return;
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(QStringLiteral("Lumora %1D plot").arg(code));
  if (!Dialogs().setUpPrinter(window_, printer)) return;
  // The page is laid out in "printer pixels" of 1/72 inch whatever the
  // printer's resolution: with real device pixels the header lines ran into
  // each other and the spots shrank to dots on a high-resolution printer.
  const QRectF area = printer.pageLayout().paintRect(QPageLayout::Point);
  PrintPage page;
  page.unit = kTwipsPerPrintPixel;
  page.width = area.width() * 20.0;
  page.height = area.height() * 20.0;
  const double devicePixelsPerTwip = printer.resolution() / static_cast<double>(kTwipsPerInch);
  const PrintLayout layout = BuildPrintScene(plots_->data(), plots_->points(), plots_->options(), page,
                                             code == k3DPlot, run_.summaryLine());
  QPainter painter;
  if (!painter.begin(&printer)) {
    Dialogs().warning(window_, QStringLiteral("The printer could not be started."));
    return;
  }
  PaintPrintLayout(painter, layout, devicePixelsPerTwip);
  painter.end();
}

void PlotOutput::printTable() {
  if (!requireData()) return;
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(QStringLiteral("Lumora reflection table"));
  if (!Dialogs().setUpPrinter(window_, printer)) return;
  QString text = QString::fromStdString(run_.reportText());
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QTextDocument document;
  document.setDefaultFont(FixedPitchFont(8));
  document.setPlainText(text);
  document.print(&printer);
}

}  // namespace lumora
