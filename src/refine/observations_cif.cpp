// The _refln loop of a CIF, read with gemmi (kept in a file of its own: the
// CIF grammar is slow to compile).
#include <gemmi/cif.hpp>

#include "common/text.hpp"
#include "refine/observations.hpp"

namespace lumora {

ObservationRead ParseReflectionCif(std::string_view text, int nDim) {
  std::vector<std::string> tags = {"index_h", "index_k", "index_l", "index_m_1", "index_m_2", "index_m_3"};
  tags.resize(static_cast<std::size_t>(nDim));
  tags.push_back("F_squared_meas");
  tags.push_back("F_squared_sigma");
  std::vector<std::string> names;
  for (const std::string& tag : tags) names.push_back("_refln_" + tag);
  gemmi::cif::Document doc;
  try {
    doc = gemmi::cif::read_string(std::string(text));
  } catch (const std::exception& error) {
    return ObservationError{0, 0, "", "", std::string("not a readable CIF: ") + error.what()};
  }
  for (gemmi::cif::Block& block : doc.blocks) {
    gemmi::cif::Table table = block.find("_refln_", tags);
    if (!table.ok()) continue;
    std::vector<Observation> list;
    int row = 0;
    for (gemmi::cif::Table::Row r : table) {
      ++row;
      std::vector<std::string> fields;
      for (std::size_t i = 0; i < tags.size(); ++i) {
        const std::string& value = r[static_cast<int>(i)];
        fields.push_back(gemmi::cif::is_null(value) ? std::string() : gemmi::cif::as_string(value));
      }
      auto read = ReadObservation(fields, names, nDim, row);
      if (const auto* error = std::get_if<ObservationError>(&read)) {
        // Rows, not lines: "row 3 of the _refln loop, _refln_index_h: "1.5" is not ..."
        std::string where = "row " + std::to_string(row) + " of the _refln loop";
        if (error->field > 0) where += ", " + error->name + ": \"" + EchoText(error->text) + "\"";
        return ObservationError{0, 0, "", "", where + (error->field > 0 ? " " : ": ") + error->problem};
      }
      list.push_back(std::get<Observation>(read));
    }
    if (list.empty()) return ObservationError{0, 0, "", "", "the _refln loop has no rows"};
    return list;
  }
  std::string wanted;
  for (const std::string& name : names) wanted += (wanted.empty() ? "" : ", ") + name;
  return ObservationError{0, 0, "", "", "no block has a loop with " + wanted};
}

}  // namespace lumora
