// The About window: version, the maker's and author's pages, and the
// literature the program's settings and rules come from.
#pragma once

#include <QDialog>

namespace lumora {

class AboutDialog : public QDialog {
  Q_OBJECT
 public:
  explicit AboutDialog(QWidget* parent = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
};

// Opens a web address in the desktop's browser.
void OpenURL(const QString& url, QWidget* parent);

}  // namespace lumora
