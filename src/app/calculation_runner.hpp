// Runs a calculation on a worker thread and reports progress and the result
// back on the window's thread.
#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "reflections/calculation.hpp"

namespace lumora {

using ResultPtr = std::shared_ptr<const CalculationResult>;

// A finished run and its report, written on the worker too: a long list
// takes seconds to format.
struct FinishedRun {
  ResultPtr result;
  std::string report;
};
using ReportWriter = std::function<std::string(const CalculationResult&)>;

class CalculationRunner : public QObject {
  Q_OBJECT
 public:
  explicit CalculationRunner(QObject* parent = nullptr);
  ~CalculationRunner() override;

  // Starts a run; ignored while one is running. report writes the report of a
  // completed run.
  void start(const CalculationInputs& inputs, ReportWriter report);
  // Asks a running calculation to stop; it ends with status Cancelled.
  void cancel();
  bool running() const;
  // Blocks until the running calculation (if any) has ended.
  void waitForFinished();

 signals:
  void progressChanged(double fraction);
  void finished(lumora::FinishedRun run);

 private:
  QFutureWatcher<FinishedRun> watcher_;
  std::atomic<bool> cancel_{false};
  std::atomic<long long> lastReport_{0};
};

}  // namespace lumora

Q_DECLARE_METATYPE(lumora::FinishedRun)
