// The powder window's files: pattern, lines, picture, print and copy.
#include "powder/powder_window.hpp"
#include "ui/worker_result.hpp"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QFontDatabase>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "powder/measured_formats.hpp"
#include "inputs/parameters.hpp"
#include "ui/dialogs.hpp"
#include "ui/window_preferences.hpp"
#include "common/file_io.hpp"
#include "common/number_text.hpp"
#include "inputs/input_reading.hpp"
#include "powder/pattern_scale.hpp"
#include "powder/peak_search.hpp"
#include "powder/powder_files.hpp"
#include "powder/powder_plot_widget.hpp"
#include "powder/powder_tables.hpp"
#include "powder/refinement_output.hpp"
#include "powder/run_lines.hpp"
#include "powder/indexing_lines.hpp"
#include "reflections/emission_lines.hpp"

namespace lumora {
namespace {

std::filesystem::path LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

void PowderWindow::saveFile(const QString& title, const QString& proposed, const QString& filter, const QString& what,
                            const std::function<std::optional<std::string>(const QString& chosen)>& content) {
  const QString chosen =
      Dialogs().saveFileName(this, title, QDir(paths_.exportFolder()).filePath(proposed), filter);
  if (chosen.isEmpty()) return;
  const std::optional<std::string> text = content(chosen);
  if (!text) return;  // content has said why
  const WriteOutcome outcome = WriteFileAtomically(LocalPath(chosen), *text);
  if (!outcome.ok) showMessage(QStringLiteral("The %1 was not saved.\n%2").arg(what, QString::fromStdString(outcome.error)));
}

void PowderWindow::savePattern() {
  if (profile_.twoTheta.empty()) {
    showMessage(QStringLiteral("There is no calculated pattern to save."));
    return;
  }
  saveFile(QStringLiteral("Save Pattern"), QStringLiteral("powder.xy"), QStringLiteral("XY file (*.xy);;CSV table (*.csv)"),
           QStringLiteral("pattern"), [this](const QString& chosen) {
             return std::optional<std::string>(PowderPatternText(profile_, EndsWithCsv(chosen.toStdString())));
           });
}

void PowderWindow::saveLines() {
  if (!lines_) {
    showMessage(QStringLiteral("There are no lines to save."));
    return;
  }
  saveFile(QStringLiteral("Save Lines"), QStringLiteral("powder_lines.csv"),
           QStringLiteral("CSV table (*.csv);;JSON (*.json)"), QStringLiteral("table of lines"),
           [this](const QString& chosen) {
             return std::optional<std::string>(chosen.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive)
                                                   ? PowderLinesJson(*lines_, nDim())
                                                   : PowderLinesCsv(*lines_, nDim()));
           });
}

void PowderWindow::savePicture() {
  saveFile(QStringLiteral("Save Picture"), QStringLiteral("powder.png"),
           QStringLiteral("PNG picture (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)"), QStringLiteral("picture"),
           [this](const QString& chosen) -> std::optional<std::string> {
             QString format = QFileInfo(chosen).suffix().toLower();
             if (format != QLatin1String("svg") && format != QLatin1String("pdf")) format = QStringLiteral("png");
             QString error;
             const QByteArray bytes = RenderPowderPlot(plot_->scene(), format, plot_->size(), &error);
             if (bytes.isEmpty()) {
               showMessage(QStringLiteral("The picture was not saved: %1.").arg(error));
               return std::nullopt;
             }
             return bytes.toStdString();
           });
}

void PowderWindow::printPlot() {
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageOrientation(QPageLayout::Landscape);
  if (!Dialogs().setUpPrinter(this, printer)) return;
  QPainter painter;
  if (!painter.begin(&printer)) {
    showMessage(QStringLiteral("The printer could not be started."));
    return;
  }
  // The screen's proportions, as large as the page allows.
  const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution()).translated(
      -printer.pageLayout().paintRectPixels(printer.resolution()).topLeft());
  const double ratio = static_cast<double>(plot_->height()) / std::max(plot_->width(), 1);
  const double width = std::min(page.width(), page.height() / ratio);
  const double scale = width / std::max(plot_->width(), 1);
  painter.scale(scale, scale);
  PaintPowderPlot(painter, QRectF(0, 0, plot_->width(), plot_->height()), plot_->scene());
  painter.end();
}

void PowderWindow::copyPlot() {
  QImage image(plot_->size(), QImage::Format_RGB32);
  QPainter painter(&image);
  PaintPowderPlot(painter, QRectF(image.rect()), plot_->scene());
  painter.end();
  QApplication::clipboard()->setImage(image);
  lblStatus_->setText(QStringLiteral("picture copied"));
}

}  // namespace lumora
