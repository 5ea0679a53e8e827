#include "report/reflection_table_pane.hpp"

#include <QEvent>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QVBoxLayout>

#include "report/table_export.hpp"

namespace lumora {

QFont FixedPitchFont(double points) {
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPointSizeF(points);
  if (!QFontInfo(font).fixedPitch()) {
    font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(points);
  }
  return font;
}

ReflectionTablePane::ReflectionTablePane(QWidget* parent) : QGroupBox(QStringLiteral("Reflection Table"), parent) {
  setObjectName(QStringLiteral("frBottom"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  rtf_ = new QPlainTextEdit(this);
  rtf_->setObjectName(QStringLiteral("rtf"));
  rtf_->setReadOnly(true);
  rtf_->setLineWrapMode(QPlainTextEdit::NoWrap);
  rtf_->setFont(FixedPitchFont());
  rtf_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  rtf_->viewport()->installEventFilter(this);
  layout->addWidget(rtf_);
}

void ReflectionTablePane::showReport(const std::string& reportText) {
  QString text = QString::fromStdString(reportText);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
  rtf_->setPlainText(text);
  findPos_ = 0;
}

void ReflectionTablePane::clear() {
  rtf_->clear();
  findPos_ = 0;
}

QString ReflectionTablePane::text() const { return rtf_->toPlainText(); }

bool ReflectionTablePane::findNext(const QString& searchField) {
  const std::string needle = SearchText(searchField.toStdString());
  const std::string haystack = rtf_->toPlainText().toStdString();
  findPos_ = FindReflection(haystack, needle, findPos_);
  if (findPos_ < 0) return false;
  QTextCursor cursor(rtf_->document());
  cursor.setPosition(static_cast<int>(findPos_));
  cursor.setPosition(static_cast<int>(findPos_ + static_cast<long long>(needle.size())), QTextCursor::KeepAnchor);
  rtf_->setTextCursor(cursor);
  rtf_->ensureCursorVisible();
  return true;
}

bool ReflectionTablePane::eventFilter(QObject* watched, QEvent* event) {
  if (watched == rtf_->viewport()) {
    if (event->type() == QEvent::MouseButtonPress) findPos_ = 0;
    if (event->type() == QEvent::MouseButtonDblClick) emit doubleClicked();
  }
  return QGroupBox::eventFilter(watched, event);
}

}  // namespace lumora
