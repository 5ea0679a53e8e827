#include "report/reflection_table_pane.hpp"

#include <QFontDatabase>
#include <QVBoxLayout>

#include "report/report_lines.hpp"
#include "report/report_view.hpp"
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
  rtf_ = new ReportView(this);
  rtf_->setObjectName(QStringLiteral("rtf"));
  rtf_->setFont(FixedPitchFont());
  layout->addWidget(rtf_);
  connect(rtf_, &ReportView::pressed, this, [this] { findPos_ = 0; });
  connect(rtf_, &ReportView::doubleClicked, this, &ReflectionTablePane::doubleClicked);
}

void ReflectionTablePane::showRun(std::shared_ptr<const CalculationResult> run, const ReportContext& context) {
  run_ = std::move(run);
  if (!run_) {
    clear();
    return;
  }
  rtf_->setLines(std::make_shared<const ReportLines>(run_->records, context));
  findPos_ = 0;
}

void ReflectionTablePane::clear() {
  rtf_->setLines(nullptr);
  run_.reset();
  findPos_ = 0;
}

const ReportLines* ReflectionTablePane::lines() const { return rtf_->lines(); }

QString ReflectionTablePane::text() const {
  const ReportLines* shown = lines();
  return shown ? QString::fromStdString(shown->Text(0, shown->TextLength())) : QString();
}

bool ReflectionTablePane::findNext(const QString& searchField) {
  const ReportLines* shown = lines();
  const std::string needle = SearchText(searchField.toStdString());
  findPos_ = shown ? shown->Find(needle, findPos_) : -1;
  if (findPos_ < 0) return false;
  rtf_->select(findPos_, findPos_ + static_cast<long long>(needle.size()));
  rtf_->ensureVisible(findPos_);
  return true;
}

}  // namespace lumora
