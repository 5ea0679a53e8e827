// Closes a window in an orderly way when the process is asked to end (SIGTERM,
// SIGINT, SIGHUP), so that what closing saves is saved.
#pragma once

class QWidget;

namespace lumora {

void CloseOnTerminationSignals(QWidget* window);

}  // namespace lumora
