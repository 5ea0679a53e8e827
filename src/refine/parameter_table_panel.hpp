// The Structure Refinement window's parameter table: one row per parameter
// of the model (and of the pattern for a powder fit) with its start value, a
// "Refine" tick, an "Equal to" partner, and the refined value and su.
#pragma once

#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "refine/refine_parameters.hpp"
#include "refine/structure_refinement.hpp"

class QTableWidget;

namespace lumora {

class ParameterTablePanel : public QWidget {
  Q_OBJECT
 public:
  explicit ParameterTablePanel(QWidget* parent = nullptr);

  // Fills the rows for the model's sites and, with scope PowderPattern, the
  // pattern's parameters; start values from state. Ticks the scale (and the
  // pattern's parameters).
  void setModel(const ModelState& state, ParameterScope scope);
  // The list the refinement reads ("scale,b_perp:P1=b_perp:P2,..."): the
  // ticked rows, each joined with its "Equal to" partner.
  std::string refineList() const;
  // The start state: state with the table's start values; a message naming
  // the row whose start value is not a number, or whose partner is no
  // parameter ("KIND:*" names every site's).
  std::optional<ModelState> startState(const ModelState& state, std::string* problem) const;
  // The refined values and su beside their rows (an equality's value on each member).
  void showResult(const std::vector<RefinedValue>& values);
  void clearResult();
  // Refined values as the start values (an equality's value on each member).
  void useValues(const std::vector<RefinedValue>& values);
  int rows() const;
  // For tests and scripts: the row of a parameter name, -1 when none.
  int rowOf(const std::string& name) const;
  void setRefined(const std::string& name, bool refined);
  void setEqualTo(const std::string& name, const std::string& partner);

 private:
  void addRow(const std::string& name, double start, bool refined);
  template <typename Row>
  void forEachMember(const std::string& name, Row row) const;
  QTableWidget* table_ = nullptr;
  ParameterScope scope_ = ParameterScope::SingleCrystal;
  int backgroundTerms_ = 0;
};

}  // namespace lumora
