// Indexing and refinement of the measured peaks, and their result on screen.
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

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool HasAxisC(CrystalSystem system) { return system != CrystalSystem::Icosahedral; }

}  // namespace

void PowderWindow::clearRefinement() {
  refinement_.reset();
  useAnyway_ = false;
  refreshPeaks();
}

void PowderWindow::refine() { startIndexing(false); }

void PowderWindow::indexAbInitio() { startIndexing(true); }

void PowderWindow::startIndexing(bool abInitio) {
  if (!run_.result || refineWatcher_.isRunning()) return;
  if (peaks_.size() < 3) {
    showMessage(QStringLiteral("Indexing needs at least 3 peaks; %1 found.").arg(peaks_.size()));
    return;
  }
  const std::optional<FieldValues> values = readFields();
  if (!values) return;
  IndexingOptions options;
  const QString toleranceText = tfIndexTolerance_->text().replace(QLatin1Char(','), QLatin1Char('.'));
  const std::optional<double> tolerance = ParseNumber(toleranceText.toStdString());
  if (!tolerance || !input::kIndexTolerance.range.Contains(*tolerance)) {
    showMessage(QStringLiteral("Tolerance: \"%1\" must be a number of degrees above 0 and at most 10.").arg(tfIndexTolerance_->text()));
    return;
  }
  options.abInitio = abInitio;
  options.tolerance = *tolerance;
  options.refineA = chkRefineA_->isChecked();
  options.refineC = chkRefineC_->isChecked() && HasAxisC(run_.inputs.system);
  options.refineZero = chkRefineZero_->isChecked();
  options.zero = values->zero;
  if (!options.refineA && !options.refineC && !options.refineZero) {
    showMessage(QStringLiteral("Choose at least one of a, c and the zero shift to refine."));
    return;
  }
  if (measured_) {
    options.measuredLow = measured_->twoTheta.front();
    options.measuredHigh = measured_->twoTheta.back();
  }
  // The heights of the peaks found; a peak added by hand takes the pattern
  // there over the lowest point within a degree.
  std::vector<ObservedPeak> peaks;
  for (const double t : peaks_) {
    ObservedPeak peak{t, 0.0};
    const auto found = std::find_if(foundPeaks_.begin(), foundPeaks_.end(),
                                    [t](const MeasuredPeak& p) { return std::abs(p.twoTheta - t) < 1e-9; });
    if (found != foundPeaks_.end()) {
      peak.intensity = found->height;
    } else if (measured_) {
      const auto& x = measured_->twoTheta;
      const auto& y = measured_->intensity;
      const auto at = static_cast<std::size_t>(std::lower_bound(x.begin(), x.end(), t) - x.begin());
      double lowest = y[std::min(at, y.size() - 1)];
      for (std::size_t i = 0; i < x.size(); ++i)
        if (std::abs(x[i] - t) <= 1.0) lowest = std::min(lowest, y[i]);
      peak.intensity = std::max(y[std::min(at, y.size() - 1)] - lowest, 0.0);
    }
    peaks.push_back(peak);
  }
  options.peakWidth = TypicalPeakWidth(foundPeaks_);
  options.radiation = run_.radiation;
  const WavelengthModel model =
      cmbWavelengthModel_->currentIndex() == 1 ? WavelengthModel::KAlpha1 : WavelengthModel::Doublet;
  // A wavelength the measured file states, when it is used, is one line.
  const bool fromFile = fileWavelength_ && chkFileWavelength_->isChecked();
  const WavelengthSetup wavelength =
      fromFile ? MakeWavelengthSetup(kTypedAnodeIndex, model, *fileWavelength_)
               : MakeWavelengthSetup(run_.anodeIndex, model, run_.inputs.wavelength);
  lblStatus_->setText(abInitio ? QStringLiteral("indexing without a start ...") : QStringLiteral("indexing and refining ..."));
  refinedRun_ = run_.result;
  btRefine_->setEnabled(false);
  btIndex_->setEnabled(false);
  refineWatcher_.setFuture(QtConcurrent::run([inputs = run_.inputs, model = run_.model, peaks, wavelength,
                                              lines = values->lines, options]() {
    return IndexPattern(peaks, inputs, model ? &*model : nullptr, wavelength, lines, options);
  }));
}

void PowderWindow::onRefined() {
  auto taken = TakeResult(refineWatcher_.future());
  if (const QString* thrown = std::get_if<QString>(&taken)) {
    IndexingResult failed;
    failed.error = thrown->toStdString();
    taken = std::move(failed);
  }
  IndexingResult result = std::get<IndexingResult>(std::move(taken));
  btRefine_->setEnabled(true);
  btIndex_->setEnabled(true);
  if (refinedRun_ != run_.result) {  // a new run came meanwhile: the result belongs to the old one
    lblStatus_->setText(QStringLiteral("the run changed while indexing: index again"));
    return;
  }
  if (!result.error.empty()) {
    lblStatus_->setText(QStringLiteral("indexing failed"));
    showMessage(QStringLiteral("The indexing gave no result: %1").arg(QString::fromStdString(result.error)));
    return;
  }
  refinement_ = std::move(result);
  useAnyway_ = false;
  const IndexingResult& r = *refinement_;
  QString text;
  if (r.candidates.empty()) {
    text = QStringLiteral("No reliable solution: %1").arg(QString::fromStdString(r.Refusal()));
  } else {
    if (!r.reliable)
      text = QStringLiteral("No reliable solution (%1). Best candidate:\n").arg(QString::fromStdString(r.Refusal()));
    text += QStringLiteral("a = %1 \u00c5").arg(QString::fromStdString(ValueWithSu(r.a, r.aSu, 6)));
    if (HasAxisC(run_.inputs.system))
      text += QStringLiteral("\nc = %1 \u00c5").arg(QString::fromStdString(ValueWithSu(r.c, r.cSu, 6)));
    text += QStringLiteral("\nzero = %1\u00b0").arg(QString::fromStdString(ValueWithSu(r.zero, r.zeroSu, 4)));
    text += QStringLiteral("\n%1 of %2 peaks indexed, W = %3 (C %4, F(N) %5, M(20) %6)")
                .arg(r.indexed.size())
                .arg(peaks_.size())
                .arg(r.figures.merit, 0, 'f', 1)
                .arg(r.figures.match, 0, 'f', 2)
                .arg(r.figures.fN, 0, 'f', 1)
                .arg(r.figures.m20, 0, 'f', 1);
    text += QStringLiteral("\n%1").arg(QString::fromStdString(r.wavelength.Describe()));
  }
  lblRefined_->setText(text);
  lblStatus_->setText(r.reliable ? QStringLiteral("indexed: reliable") : QStringLiteral("no reliable solution"));
  txtRefinement_->setPlainText(QString::fromStdString(r.candidates.empty() ? r.Refusal() : IndexingReport(r, nDim())));
  refreshPeaks();
}

void PowderWindow::useRefined() {
  if (!refinement_ || refinement_->candidates.empty() || !(refinement_->reliable || useAnyway_)) return;
  // The main window's run follows; the zero shift stays here, where it applies.
  tfZero_->setText(QString::number(refinement_->zero, 'f', 5));
  emit constantsChosen(refinement_->a, HasAxisC(run_.inputs.system) ? refinement_->c : kNaN);
}

QString PowderWindow::describeLine(int line) const {
  if (!lines_ || line < 0 || line >= static_cast<int>(lines_->lines.size())) return {};
  const PowderLine& l = lines_->lines[static_cast<std::size_t>(line)];
  QString text = QStringLiteral("2\u03b8 %1\u00b0, d %2 \u00c5, multiplicity %3, I %4")
                     .arg(l.twoTheta, 0, 'f', 4)
                     .arg(l.d, 0, 'f', 5)
                     .arg(l.multiplicity)
                     .arg(l.intensity, 0, 'f', 2);
  const std::size_t shown = std::min<std::size_t>(l.indices.size(), 6);
  for (std::size_t k = 0; k < shown; ++k)
    text += QStringLiteral("\n(%1)  qi %2").arg(QString::fromStdString(IndexText(l.indices[k], nDim(), " "))).arg(l.qi[k], 0, 'f', 4);
  if (l.indices.size() > shown) text += QStringLiteral("\n... %1 more").arg(l.indices.size() - shown);
  return text;
}

}  // namespace lumora
