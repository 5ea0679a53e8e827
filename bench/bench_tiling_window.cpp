// The tiling window, headless: wall time from a click on Draw to the finished
// tiling picture on screen (the statistics and internal view follow it), and
// how long the first sharp picture (of the tiling, of the exact diffraction)
// takes after a wheel step zooms in.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QEventLoop>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "ui/picture_box.hpp"
#include "tiling/tiling_window.hpp"

using namespace lumora;

namespace {

// Processor time of all threads, ms: on a busy machine it tells more than the wall clock.
double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

template <typename T>
T* Child(TilingWindow& w, const char* name) {
  T* found = w.findChild<T*>(QString::fromLatin1(name));
  if (!found) qFatal("no child %s", name);
  return found;
}

// Runs the event loop until done() holds, looking every millisecond; false
// when it still does not after 20 s.
template <typename Done>
bool WaitFor(Done done) {
  QEventLoop loop;
  QTimer poll;
  QElapsedTimer since;
  since.start();
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done() || since.elapsed() > 20000) loop.quit();
  });
  poll.start(1);
  if (!done()) loop.exec();
  return done();
}

// Draw, then wait until the new tiling is on show and painted.
void DrawAndTime(TilingWindow& w, int n, int loop, int zoom, int repeats) {
  Child<QScrollBar>(w, "scrF")->setValue(n);
  Child<QScrollBar>(w, "scrN")->setValue(loop);
  Child<QScrollBar>(w, "scrZoom")->setValue(zoom);
  auto* picture = Child<PictureBox>(w, "pb");
  std::vector<double> wall, cpu, analysed;
  for (int r = 0; r < repeats; ++r) {
    const Tiling* before = w.tiling();
    QElapsedTimer timer;
    const double cpuBefore = ProcessCpuMs();
    timer.start();
    Child<QAction>(w, "actDraw")->trigger();
    WaitFor([&] { return !w.isGenerating() && w.tiling() != before; });
    picture->repaint();
    wall.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    cpu.push_back(ProcessCpuMs() - cpuBefore);
    // The statistics follow the picture; the next click waits for them, as a user would.
    WaitFor([&] { return !w.isAnalysing(); });
    analysed.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
  }
  std::sort(wall.begin(), wall.end());
  std::sort(cpu.begin(), cpu.end());
  std::sort(analysed.begin(), analysed.end());
  std::printf("Draw N = %2d, L = %2d, scale %2d, %7zu tiles: median %6.0f ms, best %6.0f ms (%4.0f ms of processor time);"
              " statistics after %4.0f ms\n",
              n, loop, zoom, w.tiling()->nTiles(), wall[wall.size() / 2], wall.front(), cpu[cpu.size() / 2],
              analysed[analysed.size() / 2]);
}

// One wheel step in at the centre, then the time until the sharp picture is on show.
void ZoomAndTime(TilingWindow& w, const char* box = "pb") {
  auto* picture = Child<PictureBox>(w, box);
  picture->resetView();
  QApplication::processEvents();
  QElapsedTimer timer;
  timer.start();
  const QPointF at(picture->pictureWidth() / 2.0, picture->pictureHeight() / 2.0);
  QWheelEvent event(at, picture->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(picture, &event);
  const bool sharp = WaitFor([&] { return picture->viewIsSharp(); });
  picture->repaint();
  if (!sharp) std::printf("no sharp picture after a wheel step\n");
  else if (picture == Child<PictureBox>(w, "pb"))
    std::printf("first wheel step in (x%.2f), %7zu tiles: %6.0f ms to the sharp picture\n", picture->viewZoom(),
                w.tiling()->nTiles(), static_cast<double>(timer.nsecsElapsed()) / 1e6);
  else
    std::printf("first wheel step in (x%.2f), %7zu peaks: %6.0f ms to the sharp diffraction\n", picture->viewZoom(),
                w.peaks().points.size(), static_cast<double>(timer.nsecsElapsed()) / 1e6);
  picture->resetView();
  QApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  QTemporaryDir folder;
  TilingWindow w{AppPaths(folder.path())};
  w.show();
  WaitFor([&] { return !w.isGenerating() && w.tiling(); });
  DrawAndTime(w, 20, 40, 8, 7);
  ZoomAndTime(w);
  DrawAndTime(w, 20, 40, 1, 5);
  ZoomAndTime(w);
  DrawAndTime(w, 5, 6, 8, 7);
  // The exact diffraction at N = 5 and at N = 12 (some 17000 module points).
  for (int n : {5, 12}) {
    if (n != 5) DrawAndTime(w, n, 6, 8, 1);
    Child<QTabBar>(w, "tab1")->setCurrentIndex(TilingWindow::DiffractionTab);
    WaitFor([&] { return !w.isComputingPeaks() && w.peaks().symmetry == n; });
    ZoomAndTime(w, "pb4");
    Child<QTabBar>(w, "tab1")->setCurrentIndex(TilingWindow::TilingTab);
  }
  return 0;
}
