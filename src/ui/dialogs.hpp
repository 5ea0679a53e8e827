// The few places where the windows ask the desktop for something: message
// boxes, file names and opening files or web pages. Tests replace them so that
// nothing modal blocks a headless run.
#pragma once

#include <QPoint>
#include <QString>
#include <QUrl>
#include <functional>

class QPrinter;
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
  // An open-file dialog; empty when cancelled.
  std::function<QString(QWidget* parent, const QString& title, const QString& folder, const QString& filter)>
      openFileName;
  // Hands a file or web address to the desktop; false when nothing could open it.
  std::function<bool(const QUrl& url)> openUrl;
  // True when the desktop names a program for a MIME type ("text/plain",
  // "x-scheme-handler/https"). Handing over a file can succeed with nothing
  // to open it (xdg-open starts and fails on its own); this asks first.
  std::function<bool(const QString& mimeType)> hasHandler;
  // The choice of 2D plot (1), 3D plot (2) or reflection table (3) under a
  // toolbar button, with the frame captioned "Save", "Copy" or "Print"; 0 when
  // cancelled.
  std::function<int(QWidget* parent, const QString& caption, QPoint topLeft)> chooseOutput;
  // The print dialog; false when cancelled. Offers PDF output when no printer exists.
  std::function<bool(QWidget* parent, QPrinter& printer)> setUpPrinter;
  // "Continue" (the default) or "Cancel" for a question that offers "Don't ask
  // again"; dontAskAgain tells whether that box was ticked.
  std::function<bool(QWidget* parent, const QString& text, bool& dontAskAgain)> confirm;
};

// The hooks in use; the defaults show real dialogs.
DialogHooks& Dialogs();

inline constexpr const char* kProgramTitle = "Lumora";

}  // namespace lumora
