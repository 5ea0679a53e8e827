// Runs a calculation and the drawing of its first pictures on a worker thread,
// stage by stage, and reports progress and the result back on the window's
// thread. One cancel flag stops whichever stage is running.
#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <atomic>
#include <functional>
#include <memory>

#include <optional>
#include <string>

#include "intensity/structure_factor.hpp"
#include "plots/plot_controller.hpp"
#include "reflections/calculation.hpp"

namespace lumora {

using ResultPtr = std::shared_ptr<const CalculationResult>;

enum class RunStage { Counting = 0, Calculating = 1, Intensities = 2, Drawing = 3 };

// A finished job. cancelled is set when Esc stopped any stage; a counting
// job leaves only result->kept.
struct FinishedRun {
  ResultPtr result;
  std::shared_ptr<PreparedPlots> plots;
  bool cancelled = false;
  // With a structure model: the intensities, or why the model could not be used.
  std::shared_ptr<const IntensityResult> intensities;
  std::string modelProblem;
};

class CalculationRunner : public QObject {
  Q_OBJECT
 public:
  explicit CalculationRunner(QObject* parent = nullptr);
  ~CalculationRunner() override;

  // Counts the reflections a run would keep; ends with counted().
  void count(const CalculationInputs& inputs);
  // Runs, then draws the job's pictures; ends with finished(). Both are
  // ignored while a job is running. The model's intensities are for the
  // radiation's kind, at the run's wavelength.
  void start(const CalculationInputs& inputs, const PlotJob& job, std::optional<StructureModel> model = {},
             Radiation radiation = {});
  // Asks the running job to stop.
  void cancel();
  bool running() const;
  // Blocks until the running job (if any) has ended.
  void waitForFinished();
  // Called on the worker as each stage begins (for tests that act at a stage).
  void setStageObserver(std::function<void(RunStage)> observer) { observer_ = std::move(observer); }

 signals:
  void progressChanged(lumora::RunStage stage, double fraction);
  void counted(lumora::FinishedRun run);
  void finished(lumora::FinishedRun run);

 private:
  void launch(std::function<FinishedRun()> work, bool counting);
  std::function<void(RunStage, double)> reporter();

  std::function<void(RunStage)> observer_;
  QFutureWatcher<FinishedRun> watcher_;
  bool counting_ = false;
  std::atomic<bool> cancel_{false};
  std::atomic<long long> lastReport_{0};
};

}  // namespace lumora

Q_DECLARE_METATYPE(lumora::FinishedRun)
Q_DECLARE_METATYPE(lumora::RunStage)
