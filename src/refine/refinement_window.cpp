// The Structure Refinement window: its data (model, reflections or pattern,
// the main window's run) and the internal-space map of a refined outcome.
#include "refine/refinement_window.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QSpinBox>
#include <QTabWidget>
#include <QtConcurrent/QtConcurrentRun>
#include <stdexcept>

#include "intensity/model_file.hpp"
#include "powder/measured_formats.hpp"
#include "powder/powder_plot_widget.hpp"
#include "refine/parameter_table_panel.hpp"
#include "refine/pattern_fit_report.hpp"
#include "refine/refinement_views.hpp"
#include "refine/structure_report.hpp"
#include "ui/dialogs.hpp"
#include "ui/worker_result.hpp"

namespace lumora {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::filesystem::path LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

RefinementWindow::RefinementWindow(const AppPaths& paths, QWidget* parent) : QMainWindow(parent), paths_(paths) {
  setObjectName(QStringLiteral("frmRefine"));
  setWindowTitle(QStringLiteral("Structure Refinement"));
  buildControls();
  buildMenus();
  resetTable();
  connect(&watcher_, &QFutureWatcher<std::shared_ptr<Work>>::finished, this, &RefinementWindow::onFinished);
  connect(&mapWatcher_, &QFutureWatcher<std::vector<InternalMap>>::finished, this, [this] {
    auto taken = TakeResult(mapWatcher_.future());
    if (const QString* thrown = std::get_if<QString>(&taken))
      mapView_->setMaps({}, QStringLiteral("The map failed: ") + *thrown);
    else
      mapView_->setMaps(std::get<std::vector<InternalMap>>(std::move(taken)));
    if (mapPending_) updateMap();
  });
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &RefinementWindow::cancel);
  resize(1200, 760);
}

RefinementWindow::~RefinementWindow() {
  cancel_ = true;
  watcher_.waitForFinished();
  mapWatcher_.waitForFinished();
}

void RefinementWindow::showMessage(const QString& text) { Dialogs().message(this, text); }

void RefinementWindow::setRun(const Run& run) {
  run_ = run;
  if (model_ && model_->system != run.inputs.system)
    lblStatus_->setText(QStringLiteral("The model is for another system than the main window's run."));
  if (!busy()) resetTable();  // a running refinement keeps its table; the next one takes this run
}

bool RefinementWindow::refuseWhileBusy() {
  if (!busy()) return false;
  showMessage(QStringLiteral("A refinement is running; cancel it (Esc) before opening other data."));
  return true;
}

// New data or a new model: the table starts afresh and an earlier outcome,
// which belongs to other data, is no longer shown or offered.
void RefinementWindow::resetTable() {
  outcome_.reset();
  patternOutcome_.reset();
  enableResult(false);
  fobs_->setOutcome(nullptr);
  mapView_->setMaps({});
  txtReport_->clear();
  showVerdict(RefinementStatus::Refused, {});
  // Only what the data in hand can use.
  const bool powder = mode_ == Mode::Powder;
  spBackground_->setEnabled(powder);
  chkDoublet_->setEnabled(powder);
  tabs_->setTabVisible(tabs_->indexOf(fobs_), !powder);
  tabs_->setTabVisible(tabs_->indexOf(patternPlot_), powder);
  tabs_->setTabVisible(tabs_->indexOf(mapView_->parentWidget()), !powder);
  if (!model_) return;
  ModelState state{*model_, 1.0, 0.0, {}};
  if (run_) {
    state.pattern.a = run_->inputs.a;
    state.pattern.c = run_->inputs.c;
  }
  state.pattern.background.assign(static_cast<std::size_t>(spBackground_->value()), 0.0);
  panel_->setModel(state, mode_ == Mode::Powder ? ParameterScope::PowderPattern : ParameterScope::SingleCrystal);
  const QSignalBlocker quiet(cmbMapSite_);
  cmbMapSite_->clear();
  for (const Site& site : model_->sites) cmbMapSite_->addItem(Q(site.label));
}

bool RefinementWindow::openModel(const QString& nameOrPath) {
  if (refuseWhileBusy()) return false;
  auto found = FindModel(nameOrPath.toStdString());
  if (const std::string* error = std::get_if<std::string>(&found)) {
    showMessage(QStringLiteral("The model was not opened.\n%1").arg(Q(*error)));
    return false;
  }
  model_ = std::get<StructureModel>(std::move(found));
  if (cmbModel_->findText(nameOrPath) < 0) cmbModel_->addItem(QFileInfo(nameOrPath).fileName());
  cmbModel_->setCurrentIndex(std::max(0, cmbModel_->findText(QFileInfo(nameOrPath).fileName())));
  resetTable();
  return true;
}

bool RefinementWindow::openReflections(const QString& path) {
  if (refuseWhileBusy()) return false;
  const int nDim = run_ ? DimensionOf(run_->inputs.system) : 5;
  auto loaded = LoadObservations(LocalPath(path), nDim);
  if (const std::string* error = std::get_if<std::string>(&loaded)) {
    showMessage(QStringLiteral("The reflections were not opened.\n%1").arg(Q(*error)));
    return false;
  }
  observations_ = std::get<std::vector<Observation>>(std::move(loaded));
  measured_.reset();
  mode_ = Mode::SingleCrystal;
  dataName_ = QFileInfo(path).fileName();
  lblData_->setText(QStringLiteral("%1: %2 reflections (single crystal)").arg(dataName_).arg(observations_.size()));
  resetTable();
  return true;
}

bool RefinementWindow::openPattern(const QString& path) {
  if (refuseWhileBusy()) return false;
  // Any format the powder window reads; of a file of several scans, the first.
  MeasuredFile read = ReadMeasuredFile(QFile::encodeName(path).toStdString());
  if (!read.error.empty() || read.pattern.twoTheta.size() < 2) {
    showMessage(QStringLiteral("The pattern was not opened.\n%1")
                    .arg(read.error.empty() ? QStringLiteral("It holds fewer than two points.") : Q(read.error)));
    return false;
  }
  measured_ = std::move(read.pattern);
  observations_.clear();
  mode_ = Mode::Powder;
  dataName_ = QFileInfo(path).fileName();
  const QString scans = read.ranges.size() > 1 ? QStringLiteral(", scan 1 of %1").arg(read.ranges.size()) : QString();
  lblData_->setText(
      QStringLiteral("%1: %2 points (powder pattern%3)").arg(dataName_).arg(measured_->twoTheta.size()).arg(scans));
  resetTable();
  return true;
}

QString RefinementWindow::reportText() const {
  if (outcome_ && outcome_->status == RefinementStatus::Refined)
    return Q(StructureRefinementReport(*outcome_, {dataName_.toStdString(), {}, &data_, lattice_.nDim}));
  if (patternOutcome_ && patternOutcome_->status == RefinementStatus::Refined)
    return Q(PatternFitReport(*patternOutcome_, lines_, dataName_.toStdString()));
  return txtReport_->toPlainText();
}

const std::vector<InternalMap>& RefinementWindow::maps() const { return mapView_->maps(); }

void RefinementWindow::updateMap() {
  if (!outcome_ || outcome_->status != RefinementStatus::Refined || cmbMapSite_->currentIndex() < 0) return;
  if (mapWatcher_.isRunning()) {
    mapPending_ = true;
    return;
  }
  mapPending_ = false;
  MapRequest request;
  request.site = cmbMapSite_->currentText().toStdString();
  request.source = static_cast<MapSource>(std::max(0, cmbMapSource_->currentIndex()));
  mapWatcher_.setFuture(QtConcurrent::run([outcome = *outcome_, lattice = lattice_,
                                           radiation = Radiation{radiation_, wavelength_, 0.0}, group = group_, request]() {
    auto maps = InternalSpaceMaps(outcome, lattice, radiation, group ? &*group : nullptr, request);
    // A map that cannot be made says why, through the watcher.
    if (const std::string* error = std::get_if<std::string>(&maps)) throw std::runtime_error(*error);
    return std::get<std::vector<InternalMap>>(std::move(maps));
  }));
}

void RefinementWindow::waitForIdle() {
  while (watcher_.isRunning() || mapWatcher_.isRunning() || mapPending_) {
    watcher_.waitForFinished();
    mapWatcher_.waitForFinished();
    QCoreApplication::processEvents();
  }
  QCoreApplication::processEvents();
}

bool RefinementWindow::busy() const { return watcher_.isRunning(); }

}  // namespace lumora
