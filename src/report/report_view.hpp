// A read-only, fixed-pitch view of report lines that formats only the lines it
// shows: selection by mouse and keyboard, copy, and scrolling to a position,
// for tables of any length.
#pragma once

#include <QAbstractScrollArea>
#include <QString>
#include <memory>

#include "report/report_lines.hpp"

namespace lumora {

class ReportView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit ReportView(QWidget* parent = nullptr);

  // Shows lines (kept alive by the view); null shows nothing.
  void setLines(std::shared_ptr<const ReportLines> lines);
  const ReportLines* lines() const { return lines_.get(); }
  // Shown, greyed and centred, while there are no lines (a start hint).
  void setPlaceholderText(const QString& text);
  QString placeholderText() const { return placeholder_; }

  // Positions are those of the "\n"-joined text.
  void select(long long from, long long to);
  void selectAll();
  QString selectedText() const;
  long long selectionStart() const { return std::min(anchor_, cursor_); }
  long long selectionEnd() const { return std::max(anchor_, cursor_); }
  // Scrolls so that the line holding position is seen.
  void ensureVisible(long long position);
  int firstVisibleLine() const;

 public slots:
  void copy();

 signals:
  void pressed();
  void doubleClicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void updateScrollBars();
  long long positionAt(QPoint point) const;
  int lineHeight() const;
  double charWidth() const;
  int visibleLines() const;

  std::shared_ptr<const ReportLines> lines_;
  QString placeholder_;
  long long anchor_ = 0;
  long long cursor_ = 0;
};

}  // namespace lumora
