#include "app/termination_signals.hpp"

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <csignal>

namespace lumora {
namespace {

// A signal handler may only write to a descriptor; the window's thread reads it.
int signalSocket[2] = {-1, -1};

constexpr const char* kTerminating = "lumoraTerminating";

void OnSignal(int sig) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(signalSocket[1], &byte, 1);
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  for (int each : {SIGTERM, SIGINT, SIGHUP, sig}) ::sigaction(each, &action, nullptr);
}

}  // namespace

void CloseOnTerminationSignals(QWidget* window) {
  if (signalSocket[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, signalSocket) != 0) return;
  auto* notifier = new QSocketNotifier(signalSocket[0], QSocketNotifier::Read, window);
  QObject::connect(notifier, &QSocketNotifier::activated, window, [window, notifier] {
    notifier->setEnabled(false);
    char byte = 0;
    [[maybe_unused]] const ssize_t got = ::read(signalSocket[0], &byte, 1);
    window->setProperty(kTerminating, true);
    window->close();
    QApplication::quit();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
}

bool TerminationRequested(const QWidget* window) {
  for (const QWidget* w = window; w; w = w->parentWidget())
    if (w->property(kTerminating).toBool()) return true;
  return false;
}

}  // namespace lumora
