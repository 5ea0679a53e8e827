// The main window as the window tests meet it: built on a scratch folder,
// shown and active; its children found by objectName; a run awaited.
#pragma once

#include <QAction>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/main_window.hpp"

namespace lumora::testing {

inline std::unique_ptr<MainWindow> ShowMainWindow(const QTemporaryDir& folder) {
  auto window = std::make_unique<MainWindow>(AppPaths(folder.path()));
  window->show();
  window->activateWindow();
  if (!QTest::qWaitForWindowActive(window.get())) qWarning("window not active");
  return window;
}

// A missing child stops the test: every call names one the window must have.
template <typename T>
T* Child(QWidget* window, const char* name) {
  T* found = window->findChild<T*>(QString::fromLatin1(name));
  if (!found) qFatal("no child %s", name);
  return found;
}

inline QAction* Action(QWidget* window, const char* name) { return Child<QAction>(window, name); }

inline void RunToEnd(MainWindow* window) {
  window->executeCalculation();
  window->waitForRun();
}

}  // namespace lumora::testing
