// The reflection report: three header lines, a ruled column header and one
// fixed-width line per reflection, every line ended by CR LF. The same text is
// shown in the table pane, saved as ".hkl" and opened in a text editor.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/file_io.hpp"
#include "inputs/parameters.hpp"
#include "reflections/reflection_record.hpp"

namespace lumora {

// The five column groups of the Table menu.
struct ReportColumns {
  bool indices = true;   // h1..h6 (no h6 for the axial systems)
  bool theta = true;
  bool dSpacing = true;
  bool qeQi = true;      // headed "ve", "vi" in the Steurer setting
  bool xyz = true;
  bool intensity = true;  // "I", shown only when the run has intensities
};

struct ReportContext {
  Summary summary;
  int nDim = 5;
  bool steurer = false;
  ReportColumns columns;
  // Intensities parallel to the records (percent of the strongest), when a
  // structure model was chosen; they add the "I" column at the end.
  std::shared_ptr<const std::vector<double>> intensities;
  // The records the table shows, in its order (row numbers stay those of the
  // run); null for all in run order, as every saved report has them.
  std::shared_ptr<const std::vector<std::size_t>> shownRows;
  // The structure model behind those intensities, named on the fourth header
  // line (blank without an "I" column, as it always was).
  std::string model;
};

// The ruled column header line ("#      h1  h2 ...").
std::string ReportColumnHeader(const ReportContext& context, std::size_t rowCount);

std::string ReportText(const std::vector<ReflectionRecord>& records, const ReportContext& context);

WriteOutcome WriteReport(const std::filesystem::path& path, const std::vector<ReflectionRecord>& records,
                         const ReportContext& context);

}  // namespace lumora
