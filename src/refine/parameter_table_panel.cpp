#include "refine/parameter_table_panel.hpp"

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "common/number_text.hpp"
#include "powder/refinement_output.hpp"

namespace lumora {
namespace {

enum Column { kName = 0, kStart, kRefine, kEqual, kValue, kSu, kColumns };

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

ParameterTablePanel::ParameterTablePanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("pnlParameters"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  table_ = new QTableWidget(0, kColumns, this);
  table_->setObjectName(QStringLiteral("tblParameters"));
  table_->setHorizontalHeaderLabels({QStringLiteral("Parameter"), QStringLiteral("Start"), QStringLiteral("Refine"),
                                     QStringLiteral("Equal to"), QStringLiteral("Value"), QStringLiteral("su")});
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setToolTip(QStringLiteral("Tick the parameters to refine; \"Equal to\" holds a parameter equal to another "
                                    "(b_perp:P2), refined as one. Start values can be edited."));
  layout->addWidget(table_);
}

void ParameterTablePanel::addRow(const std::string& name, double start, bool refined) {
  const int row = table_->rowCount();
  table_->insertRow(row);
  auto* nameItem = new QTableWidgetItem(Q(name));
  nameItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  table_->setItem(row, kName, nameItem);
  table_->setItem(row, kStart, new QTableWidgetItem(Q(ShortestText(start))));
  auto* tick = new QTableWidgetItem;
  tick->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
  tick->setCheckState(refined ? Qt::Checked : Qt::Unchecked);
  table_->setItem(row, kRefine, tick);
  table_->setItem(row, kEqual, new QTableWidgetItem);
  for (int column : {kValue, kSu}) {
    auto* item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    table_->setItem(row, column, item);
  }
}

void ParameterTablePanel::setModel(const ModelState& state, ParameterScope scope) {
  scope_ = scope;
  table_->setRowCount(0);
  const bool powder = scope == ParameterScope::PowderPattern;
  backgroundTerms_ = powder ? static_cast<int>(state.pattern.background.size()) : 0;
  addRow("scale", state.scale, true);
  if (powder) {
    const PatternState& p = state.pattern;
    const bool axial = state.model.system != CrystalSystem::Icosahedral;
    const std::pair<const char*, double> pattern[] = {{"zero", p.zero}, {"a", p.a}, {"c", p.c}, {"u", p.u},
                                                      {"v", p.v},       {"w", p.w}, {"eta", p.eta}};
    for (const auto& [name, value] : pattern)
      if (axial || std::string(name) != "c") addRow(name, value, true);
    for (int k = 0; k < backgroundTerms_; ++k)
      addRow("background:" + std::to_string(k), p.background[static_cast<std::size_t>(k)], true);
  } else {
    addRow("extinction", state.extinction, false);
  }
  for (const Site& site : state.model.sites) {
    addRow("occupancy:" + site.label, site.occupancy, false);
    addRow("b_par:" + site.label, site.bPar, false);
    addRow("b_perp:" + site.label, site.bPerp, false);
    addRow("size:" + site.label, site.domain.size, false);
  }
}

int ParameterTablePanel::rows() const { return table_->rowCount(); }

int ParameterTablePanel::rowOf(const std::string& name) const {
  for (int row = 0; row < table_->rowCount(); ++row)
    if (table_->item(row, kName)->text().toStdString() == name) return row;
  return -1;
}

void ParameterTablePanel::setRefined(const std::string& name, bool refined) {
  if (const int row = rowOf(name); row >= 0) table_->item(row, kRefine)->setCheckState(refined ? Qt::Checked : Qt::Unchecked);
}

void ParameterTablePanel::setEqualTo(const std::string& name, const std::string& partner) {
  if (const int row = rowOf(name); row >= 0) table_->item(row, kEqual)->setText(Q(partner));
}

std::string ParameterTablePanel::refineList() const {
  std::string list;
  for (int row = 0; row < table_->rowCount(); ++row) {
    if (table_->item(row, kRefine)->checkState() != Qt::Checked) continue;
    std::string item = table_->item(row, kName)->text().toStdString();
    const std::string partner = table_->item(row, kEqual)->text().trimmed().toStdString();
    if (!partner.empty()) item += "=" + partner;
    list += (list.empty() ? "" : ",") + item;
  }
  return list;
}

std::optional<ModelState> ParameterTablePanel::startState(const ModelState& state, std::string* problem) const {
  ModelState start = state;
  for (int row = 0; row < table_->rowCount(); ++row) {
    const std::string name = table_->item(row, kName)->text().toStdString();
    const QString text = table_->item(row, kStart)->text().trimmed();
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
      if (problem) *problem = name + ": the start \"" + text.toStdString() + "\" is not a number";
      return std::nullopt;
    }
    const auto parsed = ParseParameterList(name, state.model, scope_, backgroundTerms_);
    if (const auto* list = std::get_if<std::vector<FreeParameter>>(&parsed))
      for (const ParameterRef& ref : list->front().members) SetValue(start, ref, value);
    const std::string partner = table_->item(row, kEqual)->text().trimmed().toStdString();
    if (partner.empty()) continue;
    const auto named = ParseParameterList(partner, state.model, scope_, backgroundTerms_);
    if (const std::string* error = std::get_if<std::string>(&named)) {
      if (problem) *problem = name + ", Equal to: " + *error;
      return std::nullopt;
    }
  }
  return start;
}

void ParameterTablePanel::clearResult() {
  for (int row = 0; row < table_->rowCount(); ++row) {
    table_->item(row, kValue)->setText(QString());
    table_->item(row, kSu)->setText(QString());
  }
}

template <typename Row>
void ParameterTablePanel::forEachMember(const std::string& name, Row row) const {
  // An equality "A=B=C" names each of its members.
  std::size_t start = 0;
  for (;;) {
    const std::size_t eq = name.find('=', start);
    if (const int r = rowOf(name.substr(start, eq == std::string::npos ? std::string::npos : eq - start)); r >= 0)
      row(r);
    if (eq == std::string::npos) return;
    start = eq + 1;
  }
}

void ParameterTablePanel::showResult(const std::vector<RefinedValue>& values) {
  clearResult();
  for (const RefinedValue& v : values) {
    const std::string both = ValueWithSu(v.value, v.su, 6);
    const std::size_t split = both.find(" +- ");
    forEachMember(v.name, [&](int row) {
      table_->item(row, kValue)->setText(Q(split == std::string::npos ? both : both.substr(0, split)));
      table_->item(row, kSu)->setText(v.atBound ? QStringLiteral("at bound")
                                                : Q(split == std::string::npos ? "" : both.substr(split + 4)));
    });
  }
}

void ParameterTablePanel::useValues(const std::vector<RefinedValue>& values) {
  for (const RefinedValue& v : values)
    forEachMember(v.name, [&](int row) { table_->item(row, kStart)->setText(Q(ShortestText(v.value))); });
}

}  // namespace lumora
