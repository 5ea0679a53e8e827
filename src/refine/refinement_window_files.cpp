// The Structure Refinement window's files: the refined model, the report
// (text and CIF) and the picture on show.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QTabWidget>

#include "common/file_io.hpp"
#include "plots/picture_render.hpp"
#include "powder/powder_plot_painter.hpp"
#include "powder/powder_plot_widget.hpp"
#include "refine/pattern_fit_report.hpp"
#include "refine/refinement_plots.hpp"
#include "refine/refinement_views.hpp"
#include "refine/refinement_window.hpp"
#include "refine/structure_report.hpp"
#include "ui/dialogs.hpp"

namespace lumora {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::filesystem::path LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

void RefinementWindow::saveText(const QString& title, const QString& proposed, const QString& filter,
                                const QString& what, const std::string& text) {
  const QString chosen = Dialogs().saveFileName(this, title, QDir(paths_.exportFolder()).filePath(proposed), filter);
  if (chosen.isEmpty()) return;
  const WriteOutcome outcome = WriteFileAtomically(LocalPath(chosen), text);
  if (!outcome.ok) Dialogs().warning(this, QStringLiteral("The %1 was not saved.\n%2").arg(what, Q(outcome.error)));
}

void RefinementWindow::saveModel() {
  std::string text;
  if (outcome_ && outcome_->status == RefinementStatus::Refined)
    text = RefinedModelText(*outcome_, {dataName_.toStdString(), {}, &data_, lattice_.nDim});
  else if (patternOutcome_ && patternOutcome_->status == RefinementStatus::Refined)
    text = PatternFitModelText(*patternOutcome_, dataName_.toStdString());
  else
    return;
  saveText(QStringLiteral("Save Refined Model"), QStringLiteral("refined.model"),
           QStringLiteral("Model files (*.model *.txt)"), QStringLiteral("refined model"), text);
}

void RefinementWindow::saveReport() {
  saveText(QStringLiteral("Save Report"), QStringLiteral("refinement.txt"), QStringLiteral("Text (*.txt)"),
           QStringLiteral("report"), reportText().toStdString());
}

void RefinementWindow::saveCif() {
  if (!outcome_ || outcome_->status != RefinementStatus::Refined) return;
  saveText(QStringLiteral("Save CIF"), QStringLiteral("refinement.cif"), QStringLiteral("CIF (*.cif)"),
           QStringLiteral("CIF"), StructureRefinementCif(*outcome_, {dataName_.toStdString(), {}, &data_, lattice_.nDim}));
}

void RefinementWindow::savePicture() {
  const QString chosen =
      Dialogs().saveFileName(this, QStringLiteral("Save Picture"), QDir(paths_.exportFolder()).filePath(QStringLiteral("refinement.png")),
                             QStringLiteral("PNG picture (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)"));
  if (chosen.isEmpty()) return;
  QString format = QFileInfo(chosen).suffix().toLower();
  if (format != QLatin1String("svg") && format != QLatin1String("pdf")) format = QStringLiteral("png");
  QWidget* shown = tabs_->currentWidget();
  QString error;
  QByteArray bytes;
  if (shown == patternPlot_) {
    bytes = RenderPowderPlot(patternPlot_->scene(), format, patternPlot_->size(), &error);
  } else if (shown == fobs_ && outcome_) {
    bytes = RenderPicture([&](QPainter& p, const QRectF& b) { PaintFobsFcalc(p, b, *outcome_); }, format, fobs_->size(),
                         QStringLiteral("F obs against F calc"), &error);
  } else {
    bytes = RenderPicture([&](QPainter& p, const QRectF& b) { PaintInternalMaps(p, b, mapView_->maps()); }, format,
                         mapView_->size(), QStringLiteral("Internal-space map"), &error);
  }
  if (bytes.isEmpty()) {
    Dialogs().warning(this, QStringLiteral("The picture was not saved.\n%1").arg(error));
    return;
  }
  const WriteOutcome outcome = WriteFileAtomically(LocalPath(chosen), std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  if (!outcome.ok) Dialogs().warning(this, QStringLiteral("The picture was not saved.\n%1").arg(Q(outcome.error)));
}

}  // namespace lumora
