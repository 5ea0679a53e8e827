// The "Reflection Table" pane: the report of the last run in a fixed-pitch,
// read-only text box, and the search by indices.
#pragma once

#include <QGroupBox>
#include <string>

class QPlainTextEdit;

namespace lumora {

class ReflectionTablePane : public QGroupBox {
  Q_OBJECT
 public:
  explicit ReflectionTablePane(QWidget* parent = nullptr);

  // Shows a report (CRLF line ends are shown as plain lines).
  void showReport(const std::string& reportText);
  void clear();
  QString text() const;

  // Finds the next row whose index columns read as the search field's numbers,
  // starting after the last hit; selects it and scrolls it into view. After
  // the last hit the search finds nothing once and then starts at the top.
  bool findNext(const QString& searchField);
  long long lastHit() const { return findPos_; }

  QPlainTextEdit* textBox() const { return rtf_; }

 signals:
  void doubleClicked();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPlainTextEdit* rtf_ = nullptr;
  long long findPos_ = 0;
};

// The fixed-pitch font of the table and the Used Matrices window.
QFont FixedPitchFont(double points = 9.0);

}  // namespace lumora
