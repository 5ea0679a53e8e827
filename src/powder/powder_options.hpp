// The powder options shared by "lumora-cli powder" and the Python package:
// line merging, the simulated profile, the peak search and the refinement.
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
#include "powder/powder_refinement.hpp"

namespace lumora {

class PowderOptions {
 public:
  static const NamedInputs& Inputs();
  static const std::set<std::string>& Names();  // options with a value
  static const std::set<std::string>& Flags();  // --doublet
  // Applies one option, checking its value; false when the name is not one of these.
  bool Apply(const Option& option);
  // The profile options with the range (default twice the theta range, step
  // 0.01) and the anode's doublet resolved; a UsageError when they cannot be.
  ProfileOptions Profile(const ParameterTexts& texts, const CalculationInputs& inputs) const;
  // The wavelength a refinement uses: with --doublet the anode's K-alpha1 (the
  // stronger peak of a resolved doublet, which the peak search finds), else
  // the run's.
  double RefineWavelength(const ParameterTexts& texts, const CalculationInputs& inputs) const;
  // With --doublet the anode's K-alpha2, whose peaks are indexed too; else 0.
  double SecondWavelength(const ParameterTexts& texts) const;

  LineOptions lines;
  PeakSearchOptions peaks;
  RefineOptions refine;       // the parameters of --refine (default a, zero)
  bool refineGiven = false;   // --refine was given

 private:
  std::optional<std::array<double, 2>> Doublet(const ParameterTexts& texts) const;

  ProfileOptions profile_;
  std::optional<std::array<double, 3>> range_;
  bool doublet_ = false;
};

}  // namespace lumora
