#include "app/calculation_runner.hpp"

#include <QtConcurrent/QtConcurrentRun>
#include <chrono>

#include "common/text.hpp"
#include "ui/worker_result.hpp"

namespace lumora {
namespace {

long long NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// A run whose worker failed: a failed result carrying the message.
FinishedRun FailedRun(const std::string& message) {
  CalculationResult failed;
  failed.status = RunStatus::Failed;
  failed.error = message;
  FinishedRun run;
  run.result = std::make_shared<const CalculationResult>(std::move(failed));
  return run;
}

}  // namespace

CalculationRunner::CalculationRunner(QObject* parent) : QObject(parent) {
  qRegisterMetaType<FinishedRun>();
  qRegisterMetaType<RunStage>();
  connect(&watcher_, &QFutureWatcher<FinishedRun>::finished, this, [this] {
    auto taken = TakeResult(watcher_.future());
    if (const QString* thrown = std::get_if<QString>(&taken)) taken = FailedRun(thrown->toStdString());
    if (counting_) emit counted(std::get<FinishedRun>(std::move(taken)));
    else emit finished(std::get<FinishedRun>(std::move(taken)));
  });
}

CalculationRunner::~CalculationRunner() {
  cancel();
  waitForFinished();
}

std::function<void(RunStage, double)> CalculationRunner::reporter() {
  // The stages report often; the window needs an update every 40 ms at most,
  // and always the first of a stage.
  auto lastStage = std::make_shared<std::atomic<int>>(-1);
  return [this, lastStage, observer = observer_](RunStage stage, double fraction) {
    const long long now = NowMs();
    const bool newStage = lastStage->exchange(static_cast<int>(stage)) != static_cast<int>(stage);
    if (newStage && observer) observer(stage);
    if (!newStage && now - lastReport_.load(std::memory_order_relaxed) < 40) return;
    lastReport_.store(now, std::memory_order_relaxed);
    QMetaObject::invokeMethod(this, [this, stage, fraction] { emit progressChanged(stage, fraction); },
                              Qt::QueuedConnection);
  };
}

void CalculationRunner::launch(std::function<FinishedRun()> work, bool counting) {
  if (running()) return;
  cancel_ = false;
  lastReport_ = 0;
  counting_ = counting;
  watcher_.setFuture(QtConcurrent::run(std::move(work)));
}

void CalculationRunner::count(const CalculationInputs& inputs) {
  auto report = reporter();
  launch(
      [this, inputs, report]() -> FinishedRun {
        RunControl control;
        control.cancel = &cancel_;
        control.countOnly = true;
        control.maxRecords = SIZE_MAX;
        control.progress = [&report](const RunProgress& p) { report(RunStage::Counting, p.fraction); };
        std::shared_ptr<const CalculationResult> result;
        try {
          report(RunStage::Counting, 0.0);
          result = std::make_shared<const CalculationResult>(RunCalculation(inputs, control));
        } catch (...) {
          return FailedRun("The reflections could not be counted: " + ThrownMessage().toStdString());
        }
        FinishedRun run;
        run.cancelled = result->status == RunStatus::Cancelled;
        run.result = std::move(result);
        return run;
      },
      true);
}

void CalculationRunner::start(const CalculationInputs& inputs, const PlotJob& job,
                              std::optional<StructureModel> model, Radiation radiation) {
  auto report = reporter();
  radiation.wavelength = inputs.wavelength;
  launch(
      [this, inputs, job, report, radiation, model = std::move(model)]() -> FinishedRun {
        RunControl control;
        control.cancel = &cancel_;
        control.progress = [&report](const RunProgress& p) { report(RunStage::Calculating, p.fraction); };
        FinishedRun run;
        try {
          report(RunStage::Calculating, 0.0);
          run.result = std::make_shared<const CalculationResult>(RunCalculation(inputs, control));
        } catch (...) {
          return FailedRun("The calculation could not be finished: " + ThrownMessage().toStdString());
        }
        if (run.result->status != RunStatus::Completed) {
          run.cancelled = run.result->status == RunStatus::Cancelled;
          return run;
        }
        if (model) {
          // A model that fails costs the intensities, not the run.
          try {
            report(RunStage::Intensities, 0.0);
            auto resolved = ResolveModel(*model, run.result->lattice);
            if (const std::string* problem = std::get_if<std::string>(&resolved)) {
              run.modelProblem = *problem;
            } else {
              auto intensities = std::make_shared<IntensityResult>();
              intensities->model = model->name;
              IntensityControl intensityControl;
              intensityControl.cancel = &cancel_;
              const IntensityStatus status = ComputeIntensities(std::get<ResolvedModel>(resolved),
                                                                run.result->lattice, run.result->records,
                                                                radiation, *intensities, intensityControl);
              if (status == IntensityStatus::Cancelled) {
                run.cancelled = true;
                return run;
              }
              if (status == IntensityStatus::Completed) run.intensities = std::move(intensities);
              else run.modelProblem = intensities->error;
            }
          } catch (...) {
            run.modelProblem = ThrownMessage().toStdString();
          }
        }
        try {
          report(RunStage::Drawing, 0.0);
          run.plots = std::make_shared<PreparedPlots>(PlotController::Prepare(
              job, *run.result, run.intensities ? &run.intensities->intensity : nullptr, &cancel_,
              [&report](double fraction) { report(RunStage::Drawing, fraction); }));
        } catch (...) {
          return FailedRun("The pictures could not be drawn: " + ThrownMessage().toStdString());
        }
        run.cancelled = cancel_.load();
        return run;
      },
      false);
}

void CalculationRunner::cancel() { cancel_ = true; }

bool CalculationRunner::running() const { return watcher_.isRunning(); }

void CalculationRunner::waitForFinished() { watcher_.waitForFinished(); }

}  // namespace lumora
