// The tiling window closed while one of its workers runs: the generation,
// the exact diffraction or the statistics. Each panel waits for its own
// worker, so nothing arrives at a part that is gone (the sanitizer build
// checks that) and no busy cursor is left behind.
#include <QAction>
#include <QApplication>
#include <QScrollBar>
#include <QTabBar>
#include <QThreadPool>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "test_sandbox.hpp"
#include "tiling/tiling_window.hpp"

using namespace lumora;

class TilingTeardownTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> folder_ = testing::MakeScratchFolder();

  template <typename T>
  static T* child(TilingWindow& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("no child %s", name);
    return found;
  }
  // A window with its first tiling on show and the options of a large one set.
  std::unique_ptr<TilingWindow> openWindow() {
    auto window = std::make_unique<TilingWindow>(AppPaths(folder_->path()));
    window->show();
    if (!QTest::qWaitFor([&] { return window->tiling() && !window->isGenerating() && !window->isAnalysing(); }, 20000))
      qFatal("no first tiling");
    child<QScrollBar>(*window, "scrF")->setValue(20);
    child<QScrollBar>(*window, "scrN")->setValue(40);
    child<QScrollBar>(*window, "scrZoom")->setValue(1);
    return window;
  }
  // Whatever a worker finishes after the window is gone must find nothing to call.
  static void settle() {
    QTest::qWait(200);
    QThreadPool::globalInstance()->waitForDone(30000);
    QTest::qWait(50);
  }

 private slots:
  void closedWhileGenerating() {
    auto window = openWindow();
    child<QAction>(*window, "actDraw")->trigger();
    QVERIFY(window->isGenerating());
    QVERIFY(QApplication::overrideCursor() != nullptr);
    window.reset();
    QVERIFY(QApplication::overrideCursor() == nullptr);
    settle();
  }

  void closedWhileComputingPeaks() {
    auto window = openWindow();
    // N = 12 has some 17000 module points: the worker runs a while.
    child<QScrollBar>(*window, "scrF")->setValue(12);
    child<QScrollBar>(*window, "scrN")->setValue(6);
    child<QScrollBar>(*window, "scrZoom")->setValue(8);
    child<QAction>(*window, "actDraw")->trigger();
    QVERIFY(QTest::qWaitFor([&] { return window->tiling()->inputs.symmetry == 12 && !window->isGenerating(); }, 20000));
    child<QTabBar>(*window, "tab1")->setCurrentIndex(TilingWindow::DiffractionTab);
    QVERIFY(window->isComputingPeaks());
    window.reset();
    settle();
  }

  void closedWhileAnalysing() {
    auto window = openWindow();
    bool analysing = false;
    connect(window.get(), &TilingWindow::tilingReady, this, [&] {
      // Closed as soon as the window's thread is free again: the statistics
      // of 38,000 tiles started with the picture and take far longer.
      QTimer::singleShot(0, this, [&] {
        analysing = window->isAnalysing();
        window.reset();
      });
    });
    child<QAction>(*window, "actDraw")->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !window; }, 30000));
    QVERIFY(analysing);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    settle();
  }
};

QTEST_MAIN(TilingTeardownTest)
#include "tiling_teardown_test.moc"
