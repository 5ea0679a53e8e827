#include "app/calculation_runner.hpp"

#include <QtConcurrent/QtConcurrentRun>
#include <chrono>

namespace lumora {
namespace {

long long NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

CalculationRunner::CalculationRunner(QObject* parent) : QObject(parent) {
  qRegisterMetaType<FinishedRun>();
  connect(&watcher_, &QFutureWatcher<FinishedRun>::finished, this, [this] { emit finished(watcher_.result()); });
}

CalculationRunner::~CalculationRunner() {
  cancel();
  waitForFinished();
}

void CalculationRunner::start(const CalculationInputs& inputs, ReportWriter report) {
  if (running()) return;
  cancel_ = false;
  lastReport_ = 0;
  watcher_.setFuture(QtConcurrent::run([this, inputs, report = std::move(report)]() -> FinishedRun {
    RunControl control;
    control.cancel = &cancel_;
    // The run reports every 100 vectors; the window needs far fewer updates.
    control.progress = [this](const RunProgress& p) {
      const long long now = NowMs();
      if (now - lastReport_.load(std::memory_order_relaxed) < 40) return;
      lastReport_.store(now, std::memory_order_relaxed);
      const double fraction = p.fraction;
      QMetaObject::invokeMethod(this, [this, fraction] { emit progressChanged(fraction); }, Qt::QueuedConnection);
    };
    FinishedRun run{std::make_shared<const CalculationResult>(RunCalculation(inputs, control)), {}};
    if (run.result->status == RunStatus::Completed && report) run.report = report(*run.result);
    return run;
  }));
}

void CalculationRunner::cancel() { cancel_ = true; }

bool CalculationRunner::running() const { return watcher_.isRunning(); }

void CalculationRunner::waitForFinished() { watcher_.waitForFinished(); }

}  // namespace lumora
