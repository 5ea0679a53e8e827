// The Structure Refinement window's refinement: started off the window's
// thread from the table and the options, its progress and cancel, and its
// outcome shown (verdict, statistics, table, plots, map) or refused.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QtConcurrent/QtConcurrentRun>

#include "inputs/input_reading.hpp"
#include "powder/powder_plot_painter.hpp"
#include "powder/powder_plot_widget.hpp"
#include "refine/merging.hpp"
#include "refine/parameter_table_panel.hpp"
#include "refine/pattern_fit_options.hpp"
#include "refine/refinement_plots.hpp"
#include "refine/refinement_views.hpp"
#include "refine/refinement_window.hpp"
#include "ui/worker_result.hpp"

namespace lumora {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

bool RefinementWindow::refine() {
  if (watcher_.isRunning()) return false;
  if (!run_) {
    showMessage(QStringLiteral("Run a calculation in the main window first: the refinement takes its lattice, "
                               "wavelength and space group."));
    return false;
  }
  if (!model_ || mode_ == Mode::None) {
    showMessage(QStringLiteral("Choose a model and open reflections or a measured pattern first."));
    return false;
  }
  const bool powder = mode_ == Mode::Powder;
  std::string problem;
  ModelState base{*model_, 1.0, 0.0, {}};
  base.pattern.background.assign(static_cast<std::size_t>(spBackground_->value()), 0.0);
  const std::optional<ModelState> start = panel_->startState(base, &problem);
  const std::string list = panel_->refineList();
  const int terms = spBackground_->value();
  auto parsed = ParseParameterList(list, *model_, powder ? ParameterScope::PowderPattern : ParameterScope::SingleCrystal,
                                   terms);
  if (const std::string* error = std::get_if<std::string>(&parsed)) problem = *error;
  if (list.empty()) problem = "no parameter is ticked to refine";
  Weighting weighting;
  try {
    const std::vector<double> w = ReadNumbers(input::kWeight, tfWeight_->text().toStdString(), 2);
    if (!(w[0] >= 0.0 && w[1] >= 0.0)) Refuse(input::kWeight, tfWeight_->text().toStdString());
    weighting = {w[0], w[1]};
  } catch (const UsageError&) {
    problem = FieldMessage(input::kWeight, tfWeight_->text().toStdString(), input::kWeight.problem);
  }
  const Lattice lattice = SetupLattice(run_->inputs.system, run_->inputs.a,
                                       run_->inputs.system == CrystalSystem::Icosahedral ? 1.0 : run_->inputs.c,
                                       run_->inputs.yamamoto);
  if (problem.empty())
    if (const auto placed = ResolveModel(*model_, lattice); std::holds_alternative<std::string>(placed))
      problem = std::get<std::string>(placed);
  if (!start || !problem.empty()) {
    showMessage(QStringLiteral("The refinement was not started.\n%1").arg(Q(problem)));
    return false;
  }
  lattice_ = lattice;
  wavelength_ = run_->inputs.wavelength;
  radiation_ = run_->radiation;
  cancel_ = false;
  auto progress = [this](int iteration, double chi2) {
    QMetaObject::invokeMethod(this, [this, iteration, chi2] {
      lblStatus_->setText(QStringLiteral("Iteration %1: sum w (Io \u2212 Ic)\u00b2 = %2").arg(iteration).arg(chi2, 0, 'g', 6));
    }, Qt::QueuedConnection);
  };
  if (!powder) {
    RefinementSetup setup;
    setup.lattice = lattice;
    setup.wavelength = wavelength_;
    setup.radiation = radiation_;
    setup.start = *start;
    setup.free = std::get<std::vector<FreeParameter>>(parsed);
    group_.reset();
    if (chkMerge_->isChecked()) group_ = LaueClass(lattice, GroupAt(run_->inputs.system, run_->inputs.groupIndex));
    data_ = group_ ? MergeObservations(observations_, *group_, lattice.nDim) : KeepObservations(observations_);
    setup.data = data_;
    setup.weighting = weighting;
    setup.searchStarts = spSearch_->value();
    setup.maxIterations = spIterations_->value();
    setup.progress = progress;
    setup.cancel = &cancel_;
    watcher_.setFuture(QtConcurrent::run([setup]() {
      auto work = std::make_shared<Work>();
      work->crystal = RefineStructure(setup);
      return work;
    }));
  } else {
    PatternFitOptions options;
    options.Apply({std::string(input::kPatternRefine.option), list});
    options.Apply({std::string(input::kBackgroundTerms.option), std::to_string(terms)});
    options.Apply({std::string(input::kSearch.option), std::to_string(spSearch_->value())});
    options.Apply({std::string(input::kMaxIterations.option), std::to_string(spIterations_->value())});
    ProfileOptions profile;
    if (chkDoublet_->isChecked() && run_->kAlpha) profile.doublet = run_->kAlpha;
    CalculationInputs inputs = run_->inputs;
    watcher_.setFuture(QtConcurrent::run([options, inputs, profile, measured = *measured_, start = *start, progress,
                                          radiation = radiation_, cancel = &cancel_]() {
      auto work = std::make_shared<Work>();
      try {
        PatternFitOptions::Prepared prepared = options.Prepare(inputs, profile, LineOptions{}, start.model, measured);
        prepared.setup.start = start;  // the table's starts
        prepared.setup.radiation = radiation;
        prepared.setup.progress = progress;
        prepared.setup.cancel = cancel;
        work->lines = prepared.lines;
        work->pattern = FitWholePattern(prepared.setup);
      } catch (const UsageError& error) {
        WholePatternOutcome refused;
        refused.error = error.what();
        work->pattern = refused;
      }
      return work;
    }));
  }
  setBusy(true);
  return true;
}

void RefinementWindow::setBusy(bool on) {
  btRefine_->setEnabled(!on);
  btCancel_->setEnabled(on);
  // The data and the table stay as the refinement took them until it ends.
  cmbModel_->setEnabled(!on);
  spBackground_->setEnabled(!on && mode_ == Mode::Powder);
  panel_->setEnabled(!on);
  for (const char* name : {"mnuRefineOpenModel", "mnuRefineOpenReflections", "mnuRefineOpenPattern"})
    if (auto* action = findChild<QAction*>(QString::fromLatin1(name))) action->setEnabled(!on);
  pbRefine_->setRange(0, on ? 0 : 1);  // a moving bar while it runs
  pbRefine_->setValue(0);
  pbRefine_->setVisible(on);
  if (on) {
    enableResult(false);
    lblStatus_->setText(QStringLiteral("Refining... (Esc cancels)"));
    lblVerdict_->setText(QStringLiteral("Refining..."));
    lblVerdict_->setStyleSheet({});
  }
}

void RefinementWindow::cancel() { cancel_ = true; }

void RefinementWindow::enableResult(bool refined) {
  for (QAction* action : resultActions_) action->setEnabled(refined);
  // CIF output is the single-crystal refinement's.
  if (auto* cif = findChild<QAction*>(QStringLiteral("mnuRefineSaveCif"))) cif->setEnabled(refined && outcome_);
  btUseResult_->setEnabled(refined);
}

// One line a user reads first: refined with its figures, or why not.
void RefinementWindow::showVerdict(RefinementStatus status, const QString& text) {
  if (text.isEmpty()) {
    lblVerdict_->setText(QStringLiteral("Not refined yet."));
    lblVerdict_->setStyleSheet({});
    return;
  }
  lblVerdict_->setText(text);
  lblVerdict_->setStyleSheet(status == RefinementStatus::Refined ? QStringLiteral("color: #1a6b1a;")
                             : status == RefinementStatus::Refused ? QStringLiteral("color: #b00020;")
                                                                   : QString());
}

namespace {

int HighCorrelations(const std::vector<std::size_t>& refined, const std::vector<double>& r) {
  const std::size_t n = refined.size();
  int count = 0;
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 1; j < n && n * n == r.size(); ++j)
      if (std::fabs(r[i * n + j]) > kHighCorrelation) ++count;
  return count;
}

QString CorrelationNote(int count) {
  return count == 0 ? QString()
                    : QStringLiteral("; %1 correlation%2 above %3 (see Statistics)")
                          .arg(count).arg(count == 1 ? "" : "s").arg(kHighCorrelation);
}

}  // namespace

void RefinementWindow::onFinished() {
  setBusy(false);
  auto taken = TakeResult(watcher_.future());
  if (const QString* thrown = std::get_if<QString>(&taken)) {
    outcome_.reset();
    patternOutcome_.reset();
    panel_->clearResult();
    fobs_->setOutcome(nullptr);
    mapView_->setMaps({}, QStringLiteral("No refined model."));
    txtReport_->setPlainText(QStringLiteral("The refinement failed: ") + *thrown);
    lblStatus_->setText(QStringLiteral("The refinement failed"));
    showVerdict(RefinementStatus::Refused, QStringLiteral("The refinement failed: ") + *thrown);
    return;
  }
  const std::shared_ptr<Work> work = std::get<std::shared_ptr<Work>>(std::move(taken));
  outcome_ = work->crystal;
  patternOutcome_ = work->pattern;
  lines_ = work->lines;
  const RefinementStatus status = outcome_ ? outcome_->status : patternOutcome_->status;
  const std::string error = outcome_ ? outcome_->error : patternOutcome_->error;
  const bool refined = status == RefinementStatus::Refined;
  enableResult(refined);
  fobs_->setOutcome(outcome_ && refined ? &*outcome_ : nullptr);
  if (!refined) {
    panel_->clearResult();
    const bool cancelled = status == RefinementStatus::Cancelled;
    txtReport_->setPlainText(cancelled ? QStringLiteral("Cancelled.") : QStringLiteral("No reliable solution: ") + Q(error));
    lblStatus_->setText(cancelled ? QStringLiteral("Cancelled") : QStringLiteral("No reliable solution"));
    showVerdict(status, cancelled ? QStringLiteral("Cancelled; the start values are unchanged.")
                                  : QStringLiteral("No reliable solution: ") + Q(error));
    mapView_->setMaps({}, QStringLiteral("No refined model."));
    return;
  }
  if (outcome_) {
    const RefinementOutcome& r = *outcome_;
    panel_->showResult(r.parameters);
    txtReport_->setPlainText(reportText());
    const QString figures = QStringLiteral("R1 = %1 (%2 reflections with I > 2\u03c3), wR2 = %3, GoF = %4")
                                .arg(r.r1, 0, 'f', 4).arg(r.strongObservations).arg(r.wR2, 0, 'f', 4)
                                .arg(r.gof, 0, 'f', 3);
    lblStatus_->setText(figures);
    showVerdict(status, QStringLiteral("Refined: %1; %2 reflections, %3 parameters%4")
                            .arg(figures).arg(r.observations).arg(r.refinedParameters)
                            .arg(CorrelationNote(HighCorrelations(r.refinedIndex, r.correlations))));
    tabs_->setCurrentWidget(fobs_);
    updateMap();
    return;
  }
  const WholePatternOutcome& fit = *patternOutcome_;
  panel_->showResult(fit.parameters);
  txtReport_->setPlainText(reportText());
  PowderPlotScene scene = FittedPatternScene(fit, wavelength_);
  const AxisRange limits = scene.view;
  patternPlot_->setScene(std::move(scene), false);
  patternPlot_->setLimits(limits);
  tabs_->setCurrentWidget(patternPlot_);
  const QString summary = QStringLiteral("Rp = %1, Rwp = %2, R_exp = %3, \u03c7\u00b2 = %4")
                              .arg(fit.rp, 0, 'f', 4).arg(fit.rwp, 0, 'f', 4).arg(fit.rexp, 0, 'f', 4)
                              .arg(fit.chi2, 0, 'f', 3);
  lblStatus_->setText(summary);
  showVerdict(status, QStringLiteral("Refined: %1; %2 points, %3 parameters%4")
                          .arg(summary).arg(fit.points).arg(fit.refinedParameters)
                          .arg(CorrelationNote(HighCorrelations(fit.refinedIndex, fit.correlations))));
  emit patternFitted(fit.twoTheta, fit.observed, fit.calculated, summary, dataName_);
}

void RefinementWindow::useResult() {
  const std::vector<RefinedValue>* values = nullptr;
  if (outcome_ && outcome_->status == RefinementStatus::Refined) values = &outcome_->parameters;
  if (patternOutcome_ && patternOutcome_->status == RefinementStatus::Refined) values = &patternOutcome_->parameters;
  if (!values || busy()) return;
  panel_->useValues(*values);
  lblStatus_->setText(QStringLiteral("The refined values are the start values now."));
}

}  // namespace lumora
