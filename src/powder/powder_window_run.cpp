// A powder run: from the fields to the pattern on screen.
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

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

std::optional<PowderWindow::FieldValues> PowderWindow::readFields() {
  FieldValues values;
  auto read = [this](QLineEdit* field, const NamedInput& named, double& target) {
    const std::optional<double> value = ParseNumber(field->text().replace(QLatin1Char(','), QLatin1Char('.')).toStdString());
    if (!value) {
      showMessage(QString::fromStdString(FieldMessage(named, field->text().toStdString(), "is not a number.")));
      field->setFocus();
      field->selectAll();
      return false;
    }
    target = *value;
    return true;
  };
  using namespace input;
  if (!read(tfTolerance_, kTolerance, values.lines.tolerance) ||
      !read(tfMono_, kMonochromator, values.lines.monochromatorTwoTheta) ||
      !read(tfMin_, kTwoThetaMin, values.profile.twoThetaMin) ||
      !read(tfMax_, kTwoThetaMax, values.profile.twoThetaMax) || !read(tfStep_, kTwoThetaStep, values.profile.step) ||
      !read(tfU_, kCagliotiU, values.profile.u) || !read(tfV_, kCagliotiV, values.profile.v) ||
      !read(tfW_, kCagliotiW, values.profile.w) || !read(tfEta_, kEta, values.profile.eta) ||
      !read(tfCut_, kCut, values.profile.cutWidths) || !read(tfZero_, kZero, values.zero))
    return std::nullopt;
  if (chkDoublet_->isChecked() && run_.kAlpha) values.profile.doublet = run_.kAlpha;
  values.completeOrbits = chkCompleteOrbits_->isChecked();
  values.profile.zeroShift = values.zero;
  values.lines.polarised = run_.radiation == RadiationKind::XRay;
  std::string problem = CheckLineOptions(values.lines);
  if (problem.empty()) problem = CheckProfileOptions(values.profile);
  if (!problem.empty()) {
    showMessage(QString::fromStdString(problem));
    return std::nullopt;
  }
  return values;
}

bool PowderWindow::recalculate() {
  if (!run_.result) {
    refreshScene(false);
    return true;
  }
  if (computeWatcher_.isRunning()) {
    pending_ = true;
    return true;
  }
  const std::optional<FieldValues> values = readFields();
  if (!values) return false;
  lblStatus_->setText(QStringLiteral("calculating the pattern ..."));
  Run run = run_;
  run.inputs.wavelength = wavelength();
  const FieldValues fields = *values;
  computeWatcher_.setFuture(QtConcurrent::run([run, fields]() {
    Computed out;
    // Whole orbits by default, whatever the main window's loop box; unticked,
    // the box's reflections with the lines it cut marked.
    RunLinesRequest request;
    request.inputs = &run.inputs;
    request.run = run.result.get();
    request.intensities = run.intensities.get();
    request.model = run.model ? &*run.model : nullptr;
    request.options = fields.lines;
    request.complete = fields.completeOrbits;
    request.maxRecords = kMaxIndexingReflections;
    RunLines made = MakeRunLines(request);
    auto lines = std::make_shared<PowderLines>(std::move(made.lines));
    out.reflections = made.reflections;
    out.note = std::move(made.note);
    out.profile = ComputeProfile(lines->lines, fields.profile);  // with the zero shift
    out.lines = std::move(lines);
    out.zero = fields.zero;
    return out;
  }));
  return true;
}

void PowderWindow::onComputed() {
  auto taken = TakeResult(computeWatcher_.future());
  if (const QString* thrown = std::get_if<QString>(&taken)) {
    Computed failed;
    failed.profile.error = "The powder pattern could not be computed: " + thrown->toStdString();
    taken = std::move(failed);
  }
  Computed computed = std::get<Computed>(std::move(taken));
  if (!computed.profile.error.empty()) {
    lblStatus_->setText(QStringLiteral("no pattern: %1").arg(QString::fromStdString(computed.profile.error)));
    showMessage(QString::fromStdString(computed.profile.error));
  } else {
    QString text = QStringLiteral("%1 lines from %2 reflections")
                       .arg(computed.lines->lines.size())
                       .arg(computed.reflections);
    if (!computed.note.empty()) text += QStringLiteral("; ") + Q(computed.note);
    // Peaks beyond the run's reach can never be indexed: say where it ends.
    const double reach = 2.0 * run_.inputs.thetaHigh;
    if (measured_ && measured_->twoTheta.back() > reach + 1e-9)
      text += QStringLiteral("; the run reaches 2\u03b8 = %1\u00b0 only: raise the upper theta in the main window")
                  .arg(reach, 0, 'f', 2);
    lblStatus_->setText(text);
  }
  lines_ = std::move(computed.lines);
  profile_ = std::move(computed.profile);
  zero_ = computed.zero;
  lineModel_->setLines(lines_, nDim());
  fit_ = measured_ ? FitScaleAndBackground(profile_, *measured_) : ScaleAndBackground{1.0, 0.0};
  if (!(fit_.scale > 0.0)) fit_ = {1.0, 0.0};
  btRefine_->setEnabled(measured_ && peaks_.size() >= 3 && lines_ && !lines_->lines.empty());
  btIndex_->setEnabled(btRefine_->isEnabled());
  refreshScene(true);
  if (pending_) {
    pending_ = false;
    recalculate();
  }
}

void PowderWindow::refreshScene(bool keepView) {
  PowderPlotData shown;
  if (!profile_.twoTheta.empty()) shown.profile = &profile_;
  shown.fit = fit_;
  if (lines_) shown.lines = &lines_->lines;
  shown.zero = zero_;
  if (measured_) shown.measured = &*measured_;
  shown.peaks = peaks_;
  if (refinement_) shown.unindexed = &refinement_->unindexed;
  PowderPlotScene scene = MakePowderScene(shown, static_cast<PowderAxis>(std::max(0, cmbAxis_->currentIndex())),
                                          static_cast<IntensityScale>(std::max(0, cmbScale_->currentIndex())),
                                          wavelength());
  if (fitted_ && measured_) {
    scene.calcTwoTheta = measured_->twoTheta;
    scene.calcIntensity = *fitted_;
  }
  if (!run_.result && !measured_)
    scene.message = "Run a calculation in the main window to see its powder pattern, or open a measured pattern.";
  // Zoom and pan reach over everything on show.
  const AxisRange limits = SceneLimits(scene);
  plot_->setScene(std::move(scene), keepView);
  plot_->setLimits(limits);
}

void PowderWindow::showFittedPattern(FittedPattern fitted) {
  if (fitted.twoTheta.size() < 2 || fitted.observed.size() != fitted.twoTheta.size() ||
      fitted.calculated.size() != fitted.twoTheta.size())
    return;
  if (!measured_ || measured_->twoTheta != fitted.twoTheta || measured_->intensity != fitted.observed) {
    measured_ = MeasuredPattern{fitted.twoTheta, fitted.observed, {}};
    measuredName_ = fitted.name;
    lblMeasured_->setText(QStringLiteral("%1: %2 points (fitted)").arg(measuredName_).arg(fitted.twoTheta.size()));
    peaks_.clear();
    refinement_.reset();
    refreshPeaks();
  }
  fitted_ = std::move(fitted.calculated);
  lblStatus_->setText(QStringLiteral("Whole-pattern fit: ") + fitted.summary);
  refreshScene(true);
}

double PowderWindow::wavelength() const {
  if (fileWavelength_ && chkFileWavelength_->isChecked()) return *fileWavelength_;
  return run_.result ? run_.inputs.wavelength : 1.5406;
}

}  // namespace lumora
