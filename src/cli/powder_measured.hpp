// The measured-pattern part of "lumora-cli powder": the file's peaks, the
// scale of the simulated profile on it, and the lattice refinement.
#pragma once

#include <string>
#include <vector>

#include "powder/powder_options.hpp"
#include "powder/measured_formats.hpp"
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

// Range range (from 1) of the file at path in any format read; a UsageError
// names the file, or the range, when it cannot be read.
MeasuredFile ReadMeasured(const std::string& path, std::size_t range);

// The wavelength line of the report: the one the file states and whether the
// run took it (fromFile) or uses runWavelength as chosen. Empty when the file
// states none.
std::string StatedWavelengthLine(const MeasuredFile& file, bool fromFile, double runWavelength);

// Finds the peaks of file (read from path), fits the scale of simulated and,
// with options.refineGiven, refines against the lines of records (the run of
// inputs, whose wavelength is the one the refinement uses). wavelengthLine
// (StatedWavelengthLine) follows the file's description in the report.
MeasuredOutput AnalyseMeasured(const MeasuredFile& file, const std::string& path, const Profile& simulated,
                               const PowderOptions& options, const CalculationInputs& inputs,
                               const std::vector<ReflectionRecord>& records, int nDim,
                               const std::string& wavelengthLine);

}  // namespace lumora::cli
