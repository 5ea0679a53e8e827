// The main window's run: the fields read, the large-run question, the
// worker's progress and result, and what the window shows meanwhile.
#include "app/main_window.hpp"
#include "inputs/radiation_option.hpp"

#include <QAction>
#include <QActionGroup>
#include <QFileInfo>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QShortcut>
#include <QSplitter>
#include <QThread>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>
#include <cstdio>
#include <variant>
#include "ui/dialogs.hpp"
#include "app/parameter_panel.hpp"
#include "ui/window_preferences.hpp"
#include "common/file_io.hpp"
#include "common/number_text.hpp"
#include "common/text.hpp"
#include "common/text.hpp"
#include "plots/plot_controller.hpp"
#include "plots/plot_output.hpp"
#include "report/reflection_table_pane.hpp"
#include "report/report_lines.hpp"
#include "reflections/extinction_text.hpp"
#include "powder/powder_window.hpp"
#include "zone/zone_window.hpp"
#include "refine/refinement_window.hpp"

namespace lumora {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

void MainWindow::executeCalculation() {
  if (busy_) return;
  for (std::size_t i = 0; i < shownStatus_.size(); ++i) shownStatus_[i] = statusPanels_[i]->text();
  statusPanels_[4]->setText(Q(ExtinctionStatusText(panel_->group())));
  statusPanels_[4]->setToolTip(QStringLiteral("%1 — %2\nHelp → Contents, \"Extinction rules\", explains every code.")
                                   .arg(Q(panel_->group().symbol), Q(ExtinctionConditionsText(panel_->group()))));
  ParameterTexts typed = panel_->texts();
  applyRadiation(typed);
  Summary summary = BuildSummary(typed);  // the fields as typed
  panel_->normaliseDecimalCommas();
  ParameterTexts texts = panel_->texts();
  applyRadiation(texts);
  const auto read = ReadInputs(texts);
  if (const InputError* error = std::get_if<InputError>(&read)) {
    Dialogs().warning(this, Q(error->Message()));
    if (QLineEdit* field = panel_->field(error->field, error->loopIndex)) {
      field->setFocus();
      field->selectAll();
    }
    return;
  }
  const CalculationInputs& inputs = std::get<CalculationInputs>(read);
  runRadiation_ = chosenRadiation(inputs.wavelength);
  summary.paramLine2 += RadiationNote(runRadiation_);  // nothing for X-rays
  runSummary_ = summary;
  runSteurer_ = !inputs.yamamoto;

  std::array<int, 6> limits = inputs.loopLimits;
  if (DimensionOf(inputs.system) == 5) limits[5] = 0;
  const BoxCount box = BoxSize(limits, 6);
  statusPanels_[1]->setText(QStringLiteral("of %1 loops").arg(Q(ToDecimal(box - 1))));
  statusPanels_[3]->clear();
  progress_->setValue(0);
  setBusy(true);
  // A box this small cannot keep too many reflections to ask about.
  const bool ask = OpenWindowPreferences()->value(QString::fromLatin1(prefs::kAskLargeRun), true).toBool();
  if (ask && box > static_cast<BoxCount>(largeRun_)) {
    pendingInputs_ = inputs;
    lprog_->setText(QStringLiteral("counting ..."));
    runner_.count(inputs);
    return;
  }
  startRun(inputs);
}

void MainWindow::startRun(const CalculationInputs& inputs) {
  lprog_->setText(QStringLiteral("calculating ..."));
  progress_->setValue(0);
  runJob_ = plots_->captureJob();
  runInputs_ = inputs;
  runAnode_ = runRadiation_.kind == RadiationKind::XRay ? panel_->texts().anodeIndex : kTypedAnodeIndex;
  std::optional<StructureModel> model;
  if (model_ && model_->system == inputs.system) {
    model = model_;
  } else if (model_) {
    statusPanels_[3]->setText(QStringLiteral("model %1 is not %2: no intensities")
                                  .arg(Q(model_->name), Q(std::string(SystemName(inputs.system)))));
  }
  runner_.start(inputs, runJob_, std::move(model), runRadiation_);
}

void MainWindow::onCounted(FinishedRun run) {
  if (closing_) return;
  if (run.cancelled || run.result->status != RunStatus::Completed) {
    onRunFinished(std::move(run));
    return;
  }
  const std::size_t kept = run.result->kept;
  if (kept > largeRun_) {
    bool dontAsk = false;
    const QString text = QStringLiteral("About %1 reflections \u2014 continue?").arg(kept);
    const bool go = Dialogs().confirm(this, text, dontAsk);
    if (dontAsk) OpenWindowPreferences()->setValue(QString::fromLatin1(prefs::kAskLargeRun), false);
    if (!go) {
      // Nothing of the shown run has been replaced yet: it stays, with its status.
      setBusy(false);
      for (std::size_t i = 0; i < shownStatus_.size(); ++i) statusPanels_[i]->setText(shownStatus_[i]);
      statusPanels_[3]->setText(QStringLiteral("calculation cancelled"));
      return;
    }
  }
  startRun(pendingInputs_);
}

void MainWindow::onProgress(RunStage stage, double fraction) {
  if (!runner_.running()) return;
  switch (stage) {
    case RunStage::Counting: lprog_->setText(QStringLiteral("counting ...")); break;
    case RunStage::Calculating: lprog_->setText(QStringLiteral("calculating ...")); break;
    case RunStage::Intensities: lprog_->setText(QStringLiteral("intensities ...")); break;
    case RunStage::Drawing: lprog_->setText(QStringLiteral("drawing ...")); break;
  }
  progress_->setValue(static_cast<int>(fraction * progress_->maximum()));
}

void MainWindow::cancelRun() {
  if (runner_.running()) runner_.cancel();
}

void MainWindow::waitForRun() {
  // A job's end reaches the window as an event, and counting goes on into
  // the run itself, so wait for the window to be idle, not for the job.
  while (busy_) {
    runner_.waitForFinished();
    QApplication::processEvents();
    if (busy_) QThread::msleep(1);
  }
  QApplication::processEvents();
}

void MainWindow::setBusy(bool busy) {
  busy_ = busy;
  strip_->setCurrentIndex(busy ? 1 : 0);
  menuBar()->setEnabled(!busy);
  // Toolbar buttons keep the state they had before the run.
  const QList<QAction*> buttons = findChild<QToolBar*>(QStringLiteral("Toolbar1"))->actions();
  if (busy) {
    idleButtons_.clear();
    for (QAction* action : buttons) {
      if (action->objectName().startsWith(QLatin1String("tb")) && action->isEnabled()) {
        idleButtons_.push_back(action);
        action->setEnabled(false);
      }
    }
  } else {
    for (QAction* action : idleButtons_) action->setEnabled(true);
    idleButtons_.clear();
  }
  // The menu bar is off, but its shortcuts (F5, Ctrl+R) would still fire.
  findChild<QAction*>(QStringLiteral("mnuRun"))->setEnabled(!busy);
  panel_->setEnabled(!busy);
  table_->setEnabled(!busy);
  plots_->plotBand()->setEnabled(!busy);
  plots_->bigView()->setEnabled(!busy);
  if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
  else QApplication::restoreOverrideCursor();
}

void MainWindow::onRunFinished(FinishedRun run) {
  if (closing_) return;
  if (run.cancelled || run.result->status != RunStatus::Completed || !run.plots) {
    const bool failed = !run.cancelled && run.result->status == RunStatus::Failed;
    abortRun(!failed);
    if (failed) {
      statusPanels_[3]->setText(QStringLiteral("calculation failed"));
      Dialogs().warning(this, Q(run.result->error));
    }
    return;
  }
  result_ = std::move(run.result);
  intensities_ = std::move(run.intensities);
  if (!run.modelProblem.empty()) {
    statusPanels_[3]->setText(QStringLiteral("no intensities: %1").arg(Q(EchoText(run.modelProblem, 256))));
    // Not taken again at the next start without asking.
    WriteFileAtomically(paths_.modelSettingsFile().toStdString(),
                        modelSource_.toStdString() + "\nfailed: " + EchoText(run.modelProblem, 256) + "\n");
    const QString name = Q(EchoText(modelSource_.toStdString(), kShownNameChars));
    Dialogs().warning(this, QStringLiteral("The structure model %1 gave no intensities: %2")
                                .arg(name, Q(EchoText(run.modelProblem, 512))));
  }
  plots_->showRun(result_,
                  intensities_ ? std::shared_ptr<const std::vector<double>>(intensities_, &intensities_->intensity)
                               : nullptr,
                  std::move(*run.plots), runJob_);
  runJob_ = PlotJob{};
  calculated_ = true;
  setBusy(false);
  refreshTable();  // also the count in the status bar
  findChild<QAction*>(QStringLiteral("mnuTable6"))->setEnabled(true);
  handRunToPowderWindow();
  handInputsToZoneWindow();
  handRunToRefinementWindow();
}

void MainWindow::abortRun(bool cancelled) {
  setBusy(false);
  clearResults();
  if (cancelled) statusPanels_[3]->setText(QStringLiteral("calculation cancelled"));
}

void MainWindow::clearResults() {
  table_->clear();
  plots_->clear();
  calculated_ = false;
  result_.reset();
  intensities_.reset();
  statusPanels_[0]->clear();  // the count of what is no longer shown
  findChild<QAction*>(QStringLiteral("mnuTable6"))->setEnabled(false);
}

}  // namespace lumora
