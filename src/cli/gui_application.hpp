// The picture-making commands paint with Qt, which needs a GUI application
// object; no display is needed.
#pragma once

namespace lumora::cli {

// Creates the application once (offscreen unless QT_QPA_PLATFORM says otherwise).
void EnsureGuiApplication();

}  // namespace lumora::cli
