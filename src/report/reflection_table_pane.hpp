// The "Reflection Table" pane: the report of the last run in a fixed-pitch,
// read-only view that formats only the rows it shows, and the search by
// indices.
#pragma once

#include <QGroupBox>
#include <memory>
#include <string>

#include "reflections/calculation.hpp"
#include "report/report.hpp"

namespace lumora {

class ReportLines;
class ReportView;

class ReflectionTablePane : public QGroupBox {
  Q_OBJECT
 public:
  explicit ReflectionTablePane(QWidget* parent = nullptr);

  // Shows the report of a run; the pane keeps the run alive while it shows it.
  void showRun(std::shared_ptr<const CalculationResult> run, const ReportContext& context);
  void clear();
  // The whole shown text with "\n" line ends (no line end after the last line).
  QString text() const;
  const ReportLines* lines() const;

  // Finds the next row whose index columns read as the search field's numbers,
  // starting after the last hit; selects it and scrolls it into view. After
  // the last hit the search finds nothing once and then starts at the top.
  bool findNext(const QString& searchField);
  long long lastHit() const { return findPos_; }

  ReportView* textBox() const { return rtf_; }

 signals:
  void doubleClicked();

 private:
  ReportView* rtf_ = nullptr;
  std::shared_ptr<const CalculationResult> run_;
  long long findPos_ = 0;
};

// The fixed-pitch font of the table and the Used Matrices window.
QFont FixedPitchFont(double points = 9.0);

}  // namespace lumora
