// The measured-pattern part of "lumora-cli powder": the file's peaks, the
// scale of the simulated profile on it, and the lattice refinement.
#pragma once

#include <string>
#include <vector>

#include "powder/powder_options.hpp"
#include "powder/measured_pattern.hpp"
#include "powder/pattern_scale.hpp"
#include "reflections/calculation.hpp"

namespace lumora::cli {

struct MeasuredOutput {
  std::string report;  // the sections for the report
  std::string json;    // the refinement as JSON (with --refine)
  std::string error;   // why the refinement failed; nothing else is then of use
  // For the picture: the pattern, its peaks, the overlay's fit and, after a
  // refinement, its zero shift and the peaks it left unindexed.
  MeasuredPattern pattern;
  std::vector<double> peaks;
  ScaleAndBackground fit{1.0, 0.0};
  bool refined = false;
  double a = 0.0, c = 0.0, zero = 0.0;
  std::vector<double> unindexed;
};

// Reads path (a UsageError names it when it cannot be read), finds its peaks,
// fits the scale of simulated and, with options.refineGiven, refines against
// the lines of records (the run of inputs, whose wavelength is the one the
// refinement uses).
MeasuredOutput AnalyseMeasured(const std::string& path, const Profile& simulated, const PowderOptions& options,
                               const CalculationInputs& inputs, const std::vector<ReflectionRecord>& records, int nDim);

}  // namespace lumora::cli
