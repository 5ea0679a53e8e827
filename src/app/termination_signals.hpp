// Closes a window in an orderly way when the process is asked to end (SIGTERM,
// SIGINT, SIGHUP), so that what closing saves is saved.
#pragma once

class QWidget;

namespace lumora {

// A second signal ends the program at once, should closing hang.
void CloseOnTerminationSignals(QWidget* window);

// True while window closes because of such a signal: closing then reports on
// standard error instead of asking with a message box.
bool TerminationRequested(const QWidget* window);

}  // namespace lumora
