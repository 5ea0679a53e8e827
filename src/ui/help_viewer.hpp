// The program's own window for its HTML help: shows the shipped pages with
// their links and anchors, needs no web browser, and hands only outside web
// addresses to the desktop.
#pragma once

#include <QDialog>
#include <QString>

class QTextBrowser;
class QToolButton;

namespace lumora {

class HelpViewer : public QDialog {
  Q_OBJECT
 public:
  explicit HelpViewer(QWidget* parent = nullptr);

  // Shows file (an HTML page) at anchor ("plots": the element id="plots");
  // false, with the reason in the window, when the file cannot be read.
  bool showPage(const QString& file, const QString& anchor = {});
  QTextBrowser* browser() const { return browser_; }

 private:
  void follow(const QUrl& url);

  QTextBrowser* browser_;
  QToolButton* back_;
  QToolButton* forward_;
  QToolButton* home_;
  QString homeFile_;
};

// Opens the help at anchor in the viewer of parent's window (one, reused),
// raised to the front; the viewer is returned.
HelpViewer* ShowHelp(QWidget* parent, const QString& file, const QString& anchor = {});

}  // namespace lumora
