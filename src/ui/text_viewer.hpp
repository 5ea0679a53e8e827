// A read-only window for a text file (a report), for when the desktop has no
// text editor: the file in a fixed-width font, with find. Very large files
// show their first part and say so.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace lumora {

class TextViewer : public QDialog {
  Q_OBJECT
 public:
  // The most of a file shown (bytes); the rest is named, not loaded.
  static constexpr qint64 kMostShown = 16 * 1024 * 1024;

  explicit TextViewer(QWidget* parent = nullptr);

  // Shows the file; false, with the reason in the window, when it cannot be read.
  bool showFile(const QString& path, qint64 mostShown = kMostShown);
  // Selects the next occurrence of text after the cursor, wrapping once;
  // false when there is none.
  bool findNext(const QString& text);

  QPlainTextEdit* text() const { return text_; }
  QLabel* status() const { return status_; }

 private:
  QPlainTextEdit* text_;
  QLineEdit* find_;
  QLabel* status_;
};

// Opens path in the desktop's text editor when the desktop has one;
// otherwise, or when it cannot be started, in a TextViewer of parent's window
// (returned; null when the editor took the file).
TextViewer* OpenInTextEditor(QWidget* parent, const QString& path);

}  // namespace lumora
