// The few places where the windows ask the desktop for something: message
// boxes, file names and opening files or web pages. Tests replace them so that
// nothing modal blocks a headless run.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>

class QWidget;

namespace lumora {

struct DialogHooks {
  // An information message with the program's title and an OK button.
  std::function<void(QWidget* parent, const QString& text)> message;
  // A warning (failed write, bad input) with the program's title.
  std::function<void(QWidget* parent, const QString& text)> warning;
  // Yes/No question; true for Yes.
  std::function<bool(QWidget* parent, const QString& title, const QString& text)> question;
  // A save-file dialog; an empty result means the user cancelled.
  std::function<QString(QWidget* parent, const QString& title, const QString& proposedPath, const QString& filter)>
      saveFileName;
  // Hands a file or web address to the desktop; false when nothing could open it.
  std::function<bool(const QUrl& url)> openUrl;
};

// The hooks in use; the defaults show real dialogs.
DialogHooks& Dialogs();

inline constexpr const char* kProgramTitle = "Lumora";

}  // namespace lumora
