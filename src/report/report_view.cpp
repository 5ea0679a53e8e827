#include "report/report_view.hpp"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

namespace lumora {
namespace {

constexpr int kMargin = 4;  // pixels left of the text, as a text box leaves

}  // namespace

ReportView::ReportView(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void ReportView::setLines(std::shared_ptr<const ReportLines> lines) {
  lines_ = std::move(lines);
  anchor_ = cursor_ = 0;
  verticalScrollBar()->setValue(0);
  horizontalScrollBar()->setValue(0);
  updateScrollBars();
  viewport()->update();
}

int ReportView::lineHeight() const { return std::max(1, fontMetrics().lineSpacing()); }

double ReportView::charWidth() const { return std::max(1.0, QFontMetricsF(font()).horizontalAdvance(QLatin1Char('0'))); }

int ReportView::visibleLines() const { return std::max(1, viewport()->height() / lineHeight()); }

int ReportView::firstVisibleLine() const { return verticalScrollBar()->value(); }

void ReportView::updateScrollBars() {
  const long long count = lines_ ? static_cast<long long>(lines_->size()) : 0;
  const int pageLines = visibleLines();
  // A scroll bar counts in int; 2^31 lines are far beyond any run's budget.
  verticalScrollBar()->setRange(0, static_cast<int>(std::clamp<long long>(count - pageLines, 0, INT32_MAX)));
  verticalScrollBar()->setPageStep(pageLines);
  verticalScrollBar()->setSingleStep(1);
  const double textWidth = lines_ ? static_cast<double>(lines_->MaxLineLength()) * charWidth() + 2 * kMargin : 0.0;
  horizontalScrollBar()->setRange(0, std::max(0, static_cast<int>(std::ceil(textWidth)) - viewport()->width()));
  horizontalScrollBar()->setPageStep(viewport()->width());
  horizontalScrollBar()->setSingleStep(static_cast<int>(charWidth()));
}

void ReportView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  updateScrollBars();
}

void ReportView::setPlaceholderText(const QString& text) {
  placeholder_ = text;
  viewport()->update();
}

void ReportView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  if (!lines_ || lines_->size() == 0) {
    if (!placeholder_.isEmpty()) {
      painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
      painter.drawText(viewport()->rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, placeholder_);
    }
    return;
  }
  painter.setFont(font());
  const int height = lineHeight();
  const double cw = charWidth();
  const int ascent = fontMetrics().ascent();
  const double x0 = kMargin - horizontalScrollBar()->value();
  const long long selFrom = selectionStart();
  const long long selTo = selectionEnd();
  const QPalette& pal = palette();
  const QColor text = pal.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text);
  const std::size_t first = static_cast<std::size_t>(firstVisibleLine());
  const std::size_t last = std::min(lines_->size(), first + static_cast<std::size_t>(visibleLines()) + 1);
  for (std::size_t i = first; i < last; ++i) {
    const int y = static_cast<int>(i - first) * height;
    const QString line = QString::fromStdString(lines_->Line(i));
    painter.setPen(text);
    painter.drawText(QPointF(x0, y + ascent), line);
    // The selected part of the line, its line end included.
    const long long start = lines_->LineStart(i);
    const long long a = std::max(selFrom, start) - start;
    const long long b = std::min(selTo, start + line.size() + 1) - start;
    if (a >= b) continue;
    const long long shown = std::min<long long>(b, line.size());
    const QRectF band(x0 + static_cast<double>(a) * cw, y, static_cast<double>(b - a) * cw, height);
    painter.fillRect(band, pal.brush(QPalette::Highlight));
    painter.setPen(pal.color(QPalette::HighlightedText));
    if (shown > a)
      painter.drawText(QPointF(band.left(), y + ascent), line.mid(static_cast<int>(a), static_cast<int>(shown - a)));
  }
}

long long ReportView::positionAt(QPoint point) const {
  if (!lines_) return 0;
  const long long line = std::clamp<long long>(firstVisibleLine() + point.y() / lineHeight(), 0,
                                               static_cast<long long>(lines_->size()) - 1);
  const double column = (point.x() - kMargin + horizontalScrollBar()->value()) / charWidth();
  const long long length = static_cast<long long>(lines_->LineLength(static_cast<std::size_t>(line)));
  const long long col = std::clamp<long long>(std::llround(column), 0, length);
  return lines_->LineStart(static_cast<std::size_t>(line)) + col;
}

void ReportView::mousePressEvent(QMouseEvent* event) {
  emit pressed();
  if (event->button() != Qt::LeftButton) return;
  cursor_ = positionAt(event->position().toPoint());
  if (!(event->modifiers() & Qt::ShiftModifier)) anchor_ = cursor_;
  viewport()->update();
}

void ReportView::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  cursor_ = positionAt(event->position().toPoint());
  // Dragging past the edge scrolls.
  if (event->position().y() < 0) verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
  if (event->position().y() > viewport()->height()) verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  viewport()->update();
}

void ReportView::mouseDoubleClickEvent(QMouseEvent*) { emit doubleClicked(); }

void ReportView::select(long long from, long long to) {
  anchor_ = from;
  cursor_ = to;
  viewport()->update();
}

void ReportView::selectAll() {
  if (lines_) select(0, lines_->TextLength());
}

QString ReportView::selectedText() const {
  if (!lines_ || selectionStart() == selectionEnd()) return {};
  return QString::fromStdString(lines_->Text(selectionStart(), selectionEnd()));
}

void ReportView::copy() {
  const QString text = selectedText();
  if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

void ReportView::ensureVisible(long long position) {
  if (!lines_) return;
  const auto line = static_cast<int>(std::min<std::size_t>(lines_->LineAt(position), INT32_MAX));
  QScrollBar* bar = verticalScrollBar();
  if (line < bar->value() || line >= bar->value() + visibleLines()) bar->setValue(line - visibleLines() / 2);
  // Horizontally: the position's column within the view.
  const double x = static_cast<double>(position - lines_->LineStart(static_cast<std::size_t>(line))) * charWidth();
  QScrollBar* across = horizontalScrollBar();
  if (x < across->value() || x > across->value() + viewport()->width() - 4 * charWidth())
    across->setValue(static_cast<int>(x) - viewport()->width() / 2);
  viewport()->update();
}

void ReportView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    copy();
    return;
  }
  if (event->matches(QKeySequence::SelectAll)) {
    selectAll();
    return;
  }
  QScrollBar* bar = verticalScrollBar();
  switch (event->key()) {
    case Qt::Key_Home:
      if (event->modifiers() & Qt::ControlModifier) bar->setValue(bar->minimum());
      else horizontalScrollBar()->setValue(0);
      return;
    case Qt::Key_End:
      if (event->modifiers() & Qt::ControlModifier) bar->setValue(bar->maximum());
      return;
    default: break;
  }
  QAbstractScrollArea::keyPressEvent(event);
}

void ReportView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* copyAction = menu.addAction(QStringLiteral("Copy"), this, &ReportView::copy);
  copyAction->setShortcut(QKeySequence::Copy);
  copyAction->setEnabled(selectionStart() != selectionEnd());
  QAction* all = menu.addAction(QStringLiteral("Select All"), this, &ReportView::selectAll);
  all->setShortcut(QKeySequence::SelectAll);
  all->setEnabled(lines_ != nullptr);
  menu.exec(event->globalPos());
}

}  // namespace lumora
