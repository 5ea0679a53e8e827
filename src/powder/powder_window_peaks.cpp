// The measured pattern and its peaks, found or picked by hand.
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

constexpr double kPeakPickPixels = 6.0;

QString Shortest(double value) { return QString::fromStdString(ShortestText(value)); }

}  // namespace

void PowderWindow::describeMeasured() {
  if (!measured_) return;
  const MeasuredPattern& m = *measured_;
  QString text = QStringLiteral("%1: %2 points, 2\u03b8 %3\u2013%4\u00b0")
                     .arg(measuredName_)
                     .arg(m.twoTheta.size())
                     .arg(m.twoTheta.front(), 0, 'f', 3)
                     .arg(m.twoTheta.back(), 0, 'f', 3);
  if (fileWavelength_) {
    text += QStringLiteral("\nthe file states \u03bb = %1 \u00c5 (%2)").arg(Shortest(*fileWavelength_), fileWavelengthItem_);
    text += chkFileWavelength_->isChecked() ? QStringLiteral(": lines and refinement use it")
                                            : QStringLiteral(": not used, the run's %1 \u00c5 is").arg(Shortest(wavelength()));
  }
  lblMeasured_->setText(text);
}

bool PowderWindow::openMeasured(const QString& path, int range) {
  const MeasuredFile read = ReadMeasuredFile(QFile::encodeName(path).toStdString(), static_cast<std::size_t>(std::max(0, range)));
  if (!read.error.empty()) {
    showMessage(QStringLiteral("%1 was not opened.\n%2").arg(QDir::toNativeSeparators(path), QString::fromStdString(read.error)));
    return false;
  }
  if (read.pattern.twoTheta.size() < 2) {
    showMessage(QStringLiteral("%1 holds fewer than two points.").arg(QDir::toNativeSeparators(path)));
    return false;
  }
  measured_ = read.pattern;
  fitted_.reset();
  measuredName_ = QFileInfo(path).fileName();
  measuredPath_ = path;
  fileWavelength_ = read.wavelength;
  fileWavelengthItem_ = QString::fromStdString(read.wavelengthItem);
  {
    const QSignalBlocker quiet(cmbRange_);
    cmbRange_->clear();
    for (const std::string& description : read.ranges) cmbRange_->addItem(QString::fromStdString(description));
    cmbRange_->setCurrentIndex(static_cast<int>(read.range));
    cmbRange_->setEnabled(read.ranges.size() > 1);
  }
  chkFileWavelength_->setEnabled(fileWavelength_.has_value());
  describeMeasured();
  const MeasuredPattern& m = *measured_;
  // The calculated profile follows the measured range and step.
  const double step = (m.twoTheta.back() - m.twoTheta.front()) / static_cast<double>(m.twoTheta.size() - 1);
  tfMin_->setText(Shortest(std::max(m.twoTheta.front(), 0.001)));
  tfMax_->setText(Shortest(std::min(m.twoTheta.back(), 179.99)));
  tfStep_->setText(QString::number(step, 'g', 4));
  btFindPeaks_->setEnabled(true);
  clearRefinement();
  findPeaks();
  recalculate();
  return true;
}

void PowderWindow::findPeaks() {
  if (!measured_) return;
  PeakSearchOptions options;
  options.smoothingPoints = spSmoothing_->value();
  options.threshold = spThreshold_->value();
  const std::string problem = CheckPeakSearchOptions(options);
  if (!problem.empty()) {
    showMessage(QStringLiteral("Smoothing: %1").arg(QString::fromStdString(problem)));
    return;
  }
  foundPeaks_ = FindPeaks(*measured_, options);
  std::vector<double> found;
  for (const MeasuredPeak& peak : foundPeaks_) found.push_back(peak.twoTheta);
  setPeaks(std::move(found));
}

void PowderWindow::setPeaks(std::vector<double> twoTheta) {
  std::sort(twoTheta.begin(), twoTheta.end());
  peaks_ = std::move(twoTheta);
  clearRefinement();
}

void PowderWindow::refreshPeaks() {
  peakModel_->setPeaks(peaks_, refinement_ ? &*refinement_ : nullptr, nDim());
  btRefine_->setEnabled(measured_ && peaks_.size() >= 3 && lines_ && !lines_->lines.empty() &&
                        !refineWatcher_.isRunning());
  btIndex_->setEnabled(btRefine_->isEnabled());
  // An unreliable indexing's constants only after an explicit "Use Anyway".
  btUseRefined_->setEnabled(refinement_ && (refinement_->reliable || useAnyway_));
  btUseAnyway_->setVisible(refinement_ && !refinement_->reliable && !useAnyway_);
  if (!refinement_) {
    lblRefined_->setText(QStringLiteral("%1 peaks").arg(peaks_.size()));
    txtRefinement_->clear();
  }
  refreshScene(true);
}

void PowderWindow::togglePeak(double twoTheta) {
  if (!measured_) return;
  const double pickPixel = plot_->pixelOf(twoTheta);
  for (std::size_t i = 0; i < peaks_.size(); ++i) {
    if (std::abs(plot_->pixelOf(peaks_[i]) - pickPixel) <= kPeakPickPixels) {
      std::vector<double> kept = peaks_;
      kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(i));
      setPeaks(std::move(kept));
      return;
    }
  }
  // A new peak sits on the highest measured point within a few pixels.
  const MeasuredPattern& m = *measured_;
  std::size_t best = m.twoTheta.size();
  for (std::size_t i = 0; i < m.twoTheta.size(); ++i) {
    if (std::abs(plot_->pixelOf(m.twoTheta[i]) - pickPixel) > kPeakPickPixels) continue;
    if (best == m.twoTheta.size() || m.intensity[i] > m.intensity[best]) best = i;
  }
  std::vector<double> more = peaks_;
  more.push_back(best < m.twoTheta.size() ? m.twoTheta[best] : twoTheta);
  setPeaks(std::move(more));
}

}  // namespace lumora
