// Per-user preferences of the windows, kept apart from the calculation's
// settings file: pane positions, "don't ask again" answers, the main
// window's view options and the folder file dialogs last used.
#pragma once

#include <QSettings>
#include <QString>
#include <memory>

namespace lumora {

// The preferences file in the user's configuration folder.
std::unique_ptr<QSettings> OpenWindowPreferences();

namespace prefs {
inline constexpr const char* kSplitter = "mainWindow/splitter";
inline constexpr const char* kAskLargeRun = "mainWindow/askBeforeLargeRuns";
inline constexpr const char* kViewGroup = "mainWindow/view";  // one entry per View item, by name
inline constexpr const char* kMinIntensity = "mainWindow/minIntensity";
inline constexpr const char* kLastFolder = "dialogs/lastFolder";
}  // namespace prefs

// The folder the last file dialog chose a file in, while it exists; else fallback.
QString LastDialogFolder(const QString& fallback);
// Remembers the folder of a chosen file (nothing for an empty choice).
void RememberDialogFolder(const QString& chosenFile);
// fileName in the last folder (or in fallback).
QString InLastDialogFolder(const QString& fallback, const QString& fileName);

}  // namespace lumora
