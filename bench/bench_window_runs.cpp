// Large runs in the real main window, headless: wall time from Run to an idle
// window with table and plots, the memory a run costs, one rotation step of
// the 3D plot, and how soon Esc leaves the window idle at each stage.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>

#include "ui/dialogs.hpp"
#include "app/main_window.hpp"
#include "app/parameter_panel.hpp"
#include "plots/plot_box.hpp"
#include "plots/plot_controller.hpp"

using namespace lumora;

namespace {

// Resident and peak resident memory of this process, in MB.
double StatusMb(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(key, 0) == 0) return std::stod(line.substr(std::string(key).size())) / 1024.0;
  return 0.0;
}
// Processor time of all threads, ms: on a busy machine it tells more than the wall clock.
double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

void SetInputs(MainWindow& w, int system, const char* group, int loops, const char* qiMax) {
  w.parameters()->chooseSystem(system);
  ParameterTexts texts = w.parameters()->texts();
  texts.thetaMin = "0";
  texts.thetaMax = "90";
  texts.qiMax = qiMax;
  for (auto& l : texts.loops) l = std::to_string(loops);
  texts.groupIndex = 0;
  w.parameters()->setTexts(texts);
  (void)group;
}

double RunToIdle(MainWindow& w) {
  QElapsedTimer timer;
  timer.start();
  w.executeCalculation();
  w.waitForRun();
  return static_cast<double>(timer.elapsed()) / 1000.0;
}

void LargeRun(MainWindow& w, const char* name, int loops, const char* qiMax) {
  w.clearResults();
  QApplication::processEvents();
  SetInputs(w, 3, "P235", loops, qiMax);
  const double before = StatusMb("VmRSS:");
  ResetPeak();
  const double seconds = RunToIdle(w);
  const std::size_t n = w.result() ? w.result()->records.size() : 0;
  const double after = StatusMb("VmRSS:");
  const double peak = StatusMb("VmHWM:");
  std::printf("%-44s %9zu reflections  %6.2f s  peak %6.0f MB  kept %6.0f MB (%.0f bytes/reflection)\n", name, n,
              seconds, peak, after - before, n ? (after - before) * 1048576.0 / static_cast<double>(n) : 0.0);
}

void RotationStep(MainWindow& w) {
  PlotBox* box = w.plots()->box3D();
  box->setFocus();
  QElapsedTimer timer;
  const int steps = 5;
  const double cpuBefore = ProcessCpuMs();
  timer.start();
  for (int i = 0; i < steps; ++i) {
    QTest::keyClick(box, Qt::Key_Left);
    QApplication::processEvents();
  }
  std::printf("%-44s %9zu spots        %6.0f ms per arrow-key step (%.0f ms of processor time)\n", "rotation step",
              w.result()->records.size(), static_cast<double>(timer.elapsed()) / steps,
              (ProcessCpuMs() - cpuBefore) / steps);
}

void EscAt(MainWindow& w, RunStage stage, const char* name) {
  w.clearResults();
  SetInputs(w, 3, "P235", 6, "100");
  QElapsedTimer sinceCancel;
  std::atomic<bool> cancelled{false};
  w.runner().setStageObserver([&](RunStage s) {
    if (s != stage || cancelled) return;
    // Let the stage get under way first.
    QThread::msleep(stage == RunStage::Drawing ? 50 : 300);
    sinceCancel.start();
    cancelled = true;
    w.runner().cancel();
  });
  w.executeCalculation();
  w.waitForRun();
  std::printf("%-44s %6.0f ms from Esc to idle%s\n", name, cancelled ? static_cast<double>(sinceCancel.elapsed()) : -1.0,
              cancelled ? "" : " (stage not reached)");
  w.runner().setStageObserver({});
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir folder;
  qputenv("TMP", folder.path().toLocal8Bit());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder.path());
  Dialogs().confirm = [](QWidget*, const QString&, bool&) { return true; };
  Dialogs().warning = [](QWidget*, const QString& text) { std::printf("warning: %s\n", qPrintable(text)); };
  MainWindow w{AppPaths(folder.path())};
  w.resize(1100, 780);
  w.show();
  QApplication::processEvents();
  std::printf("idle window: %.0f MB\n", StatusMb("VmRSS:"));
  LargeRun(w, "icosahedral, loops 5, theta 0-90, qi-max 4", 5, "4");
  RotationStep(w);
  LargeRun(w, "icosahedral, loops 5, theta 0-90, qi-max 100", 5, "100");
  RotationStep(w);
  LargeRun(w, "icosahedral, loops 6, theta 0-90, qi-max 100", 6, "100");
  RotationStep(w);
  EscAt(w, RunStage::Counting, "Esc while counting");
  EscAt(w, RunStage::Calculating, "Esc while calculating");
  EscAt(w, RunStage::Drawing, "Esc while drawing");
  return 0;
}
