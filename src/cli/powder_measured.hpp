// The measured-pattern part of "lumora-cli powder": the file's peaks, the
// scale of the simulated profile on it, and the indexing.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "powder/powder_options.hpp"
#include "powder/measured_formats.hpp"
#include "intensity/structure_model.hpp"
#include "powder/measured_pattern.hpp"
#include "powder/pattern_scale.hpp"
#include "powder/powder_indexing.hpp"
#include "powder/powder_options.hpp"
#include "reflections/calculation.hpp"

namespace lumora::cli {

struct MeasuredOutput {
  std::string report;  // the sections for the report
  // With --refine or --index: the indexing, its report section and JSON.
  std::optional<IndexingResult> indexing;
  std::string json;
  // For the picture: the pattern, its peaks, the overlay's fit and, after a
  // reliable indexing, its zero shift and the peaks it left unindexed.
  MeasuredPattern pattern;
  std::vector<double> peaks;
  ScaleAndBackground fit{1.0, 0.0};
  bool refined = false;
  double a = 0.0, c = 0.0, zero = 0.0;
  std::vector<double> unindexed;
};

// Range range (from 1) of the file at path in any format read; a UsageError
// names the file, or the range, when it cannot be read.
MeasuredFile ReadMeasured(const std::string& path, std::size_t range);

// The wavelength line of the report: the one the file states and whether the
// run took it (fromFile) or uses runWavelength as chosen. Empty when the file
// states none.
std::string StatedWavelengthLine(const MeasuredFile& file, bool fromFile, double runWavelength);

// Finds the peaks of file (read from path), fits the scale of simulated and,
// with options.refineGiven, indexes them: the lines of the run's system,
// group, setting and qi-max (inputs; a and c the start), intensities from
// model (or the qi weight), the wavelengths of the anode (texts).
// wavelengthLine (StatedWavelengthLine) follows the file's description in
// the report.
MeasuredOutput AnalyseMeasured(const MeasuredFile& file, const std::string& path, const Profile& simulated,
                               const PowderOptions& options, const CalculationInputs& inputs, const ParameterTexts& texts,
                               const StructureModel* model, int nDim, const std::string& wavelengthLine);

}  // namespace lumora::cli
