// The powder window: its life, menus and the run it is handed.
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

QString Shortest(double value) { return QString::fromStdString(ShortestText(value)); }

bool HasAxisC(CrystalSystem system) { return system != CrystalSystem::Icosahedral; }

}  // namespace

PowderWindow::PowderWindow(const AppPaths& paths, QWidget* parent) : QMainWindow(parent), paths_(paths) {
  setObjectName(QStringLiteral("frmPowder"));
  setWindowTitle(QStringLiteral("Powder Pattern"));
  buildControls();
  buildMenus();
  connect(&computeWatcher_, &QFutureWatcher<Computed>::finished, this, &PowderWindow::onComputed);
  connect(&refineWatcher_, &QFutureWatcher<IndexingResult>::finished, this, &PowderWindow::onRefined);
  resize(1100, 720);
  loadPreferences();
  refreshScene(false);
}

// The settings of the profile, the peak search and the refinement are the
// user's, kept from one session to the next.
QList<QLineEdit*> PowderWindow::keptFields() const {
  return {tfTolerance_, tfMono_, tfStep_, tfU_, tfV_, tfW_, tfEta_, tfCut_, tfIndexTolerance_};
}

void PowderWindow::loadPreferences() {
  const auto prefs = OpenWindowPreferences();
  for (QLineEdit* field : keptFields()) {
    const QVariant value = prefs->value(QStringLiteral("powder/") + field->objectName());
    if (value.isValid()) field->setText(value.toString());
  }
  spSmoothing_->setValue(prefs->value(QStringLiteral("powder/spSmoothing"), spSmoothing_->value()).toInt());
  spThreshold_->setValue(prefs->value(QStringLiteral("powder/spThreshold"), spThreshold_->value()).toDouble());
  cmbScale_->setCurrentIndex(prefs->value(QStringLiteral("powder/cmbScale"), 0).toInt());
}

void PowderWindow::savePreferences() const {
  const auto prefs = OpenWindowPreferences();
  for (QLineEdit* field : keptFields()) prefs->setValue(QStringLiteral("powder/") + field->objectName(), field->text());
  prefs->setValue(QStringLiteral("powder/spSmoothing"), spSmoothing_->value());
  prefs->setValue(QStringLiteral("powder/spThreshold"), spThreshold_->value());
  prefs->setValue(QStringLiteral("powder/cmbScale"), cmbScale_->currentIndex());
}

void PowderWindow::closeEvent(QCloseEvent* event) {
  savePreferences();
  QMainWindow::closeEvent(event);
}

PowderWindow::~PowderWindow() {
  computeWatcher_.waitForFinished();
  refineWatcher_.waitForFinished();
}

void PowderWindow::buildMenus() {
  auto action = [this](QMenu* menu, const char* name, const QString& text, const QKeySequence& keys, auto slot) {
    QAction* item = menu->addAction(text);
    item->setObjectName(QString::fromLatin1(name));
    if (!keys.isEmpty()) item->setShortcut(keys);
    connect(item, &QAction::triggered, this, slot);
    return item;
  };
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("mnuPowderFile"));
  action(file, "mnuPowderOpen", QStringLiteral("Open Measured Pattern ..."), QKeySequence::Open,
         [this] { findChild<QPushButton*>(QStringLiteral("btOpenMeasured"))->click(); });
  file->addSeparator();
  action(file, "mnuPowderSavePattern", QStringLiteral("Save Pattern ..."), QKeySequence::Save, &PowderWindow::savePattern);
  action(file, "mnuPowderSaveLines", QStringLiteral("Save Lines ..."), QKeySequence(), &PowderWindow::saveLines);
  action(file, "mnuPowderSavePicture", QStringLiteral("Save Picture ..."), QKeySequence(), &PowderWindow::savePicture);
  action(file, "mnuPowderPrint", QStringLiteral("Print ..."), QKeySequence::Print, &PowderWindow::printPlot);
  action(file, "mnuPowderCopy", QStringLiteral("Copy Picture"), QKeySequence::Copy, &PowderWindow::copyPlot);
  file->addSeparator();
  action(file, "mnuPowderClose", QStringLiteral("Close"), QKeySequence::Close, &QWidget::close);
  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  view->setObjectName(QStringLiteral("mnuPowderView"));
  action(view, "mnuPowderWhole", QStringLiteral("Whole Range"), QKeySequence(Qt::Key_Home),
         [this] { plot_->showWholeRange(); });
}

int PowderWindow::nDim() const { return run_.result ? run_.result->lattice.nDim : 5; }

void PowderWindow::setRun(Run run) {
  const bool first = !run_.result;
  run_ = std::move(run);
  clearRefinement();
  fitted_.reset();
  chkRefineC_->setEnabled(HasAxisC(run_.inputs.system));
  cmbWavelengthModel_->setEnabled(AnodeEmissionLines(run_.anodeIndex).has_value());
  if (first && run_.result) {
    // The profile starts on the run's 2 theta range; later runs keep what the user set.
    tfMin_->setText(Shortest(std::max(2.0 * run_.inputs.thetaLow, 0.01)));
    tfMax_->setText(Shortest(std::min(2.0 * run_.inputs.thetaHigh, 179.99)));
  }
  chkDoublet_->setEnabled(run_.kAlpha.has_value());
  if (!run_.kAlpha) chkDoublet_->setChecked(false);
  recalculate();
}

void PowderWindow::waitForIdle() {
  while (computeWatcher_.isRunning() || refineWatcher_.isRunning() || pending_) {
    computeWatcher_.waitForFinished();
    refineWatcher_.waitForFinished();
    QCoreApplication::processEvents();
  }
  QCoreApplication::processEvents();
}

bool PowderWindow::busy() const { return computeWatcher_.isRunning() || refineWatcher_.isRunning(); }

void PowderWindow::showMessage(const QString& text) { Dialogs().warning(this, text); }

}  // namespace lumora
