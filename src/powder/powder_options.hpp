// The powder options shared by "lumora-cli powder" and the Python package:
// line merging, the simulated profile, the peak search and the indexing.
#pragma once

#include <array>
#include <optional>
#include <set>
#include <string>

#include "inputs/input_reading.hpp"
#include "inputs/parameters.hpp"
#include "powder/peak_search.hpp"
#include "powder/powder_lines.hpp"
#include "powder/powder_profile.hpp"
#include "powder/powder_indexing.hpp"

namespace lumora {

class PowderOptions {
 public:
  static const NamedInputs& Inputs();
  static const std::set<std::string>& Names();  // options with a value
  static const std::set<std::string>& Flags();  // --doublet, --index
  // Applies one option, checking its value; false when the name is not one of these.
  bool Apply(const Option& option);
  // The profile options with the range (default twice the theta range, step
  // 0.01) and the anode's doublet resolved; a UsageError when they cannot be.
  ProfileOptions Profile(const ParameterTexts& texts, const CalculationInputs& inputs) const;
  // The wavelengths an indexing models: an anode's K-alpha1 and K-alpha2
  // (emission_lines.hpp) as the doublet or, with --wavelength-model ka1,
  // K-alpha1 alone; a typed wavelength as it is.
  WavelengthSetup Wavelengths(const ParameterTexts& texts, const CalculationInputs& inputs) const;

  LineOptions lines;
  PeakSearchOptions peaks;
  // The parameters of --refine (default a, c, zero), --index (ab initio),
  // --a-range, --c-range, --index-tolerance and the zero shift's start.
  IndexingOptions indexing;
  WavelengthModel wavelengthModel = WavelengthModel::Doublet;
  bool refineGiven = false;   // --refine or --index was given
  bool cRequested = false;    // --refine named c

 private:
  std::optional<std::array<double, 2>> Doublet(const ParameterTexts& texts) const;

  ProfileOptions profile_;
  std::optional<std::array<double, 3>> range_;
  bool doublet_ = false;
};

}  // namespace lumora
