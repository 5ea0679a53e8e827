// Per-user preferences of the windows, kept apart from the calculation's
// settings file: pane positions and "don't ask again" answers.
#pragma once

#include <QSettings>
#include <memory>

namespace lumora {

// The preferences file in the user's configuration folder.
std::unique_ptr<QSettings> OpenWindowPreferences();

namespace prefs {
inline constexpr const char* kSplitter = "mainWindow/splitter";
inline constexpr const char* kAskLargeRun = "mainWindow/askBeforeLargeRuns";
}  // namespace prefs

}  // namespace lumora
