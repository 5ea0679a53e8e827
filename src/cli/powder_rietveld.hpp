// lumora-cli powder --rietveld: the whole-pattern fit of a measured pattern.
#pragma once

#include <string>

#include "powder/powder_lines.hpp"
#include "powder/powder_profile.hpp"
#include "refine/pattern_fit_options.hpp"

namespace lumora::cli {

struct PatternFitFiles {
  std::string measured, report, json, modelOut, plot, plotFormat;
};

// Fits, then writes the report (after the lines report given) and the files
// asked for. Returns the exit status: 0, 1 (a file not written) or 3 (no
// reliable solution, with the reason on standard error; only the JSON is written).
int RunPatternFit(const PatternFitOptions& options, const CalculationInputs& inputs, RadiationKind radiation,
                  const MeasuredPattern& measured, const ProfileOptions& profile,
                  const LineOptions& lines, const StructureModel& model, const std::string& linesReport,
                  const PatternFitFiles& files);

}  // namespace lumora::cli
