// The powder pattern and lines as CIF (pdCIF tags, through gemmi), with the
// header of the run they come from (report/cif_output.hpp).
#pragma once

#include <string>

#include "powder/measured_pattern.hpp"
#include "powder/pattern_scale.hpp"
#include "powder/powder_lines.hpp"
#include "powder/powder_profile.hpp"
#include "report/cif_output.hpp"

namespace lumora {

// The run a powder file describes.
struct PowderCifRun {
  const CalculationResult& result;
  const Summary& summary;
  CifBeam beam;
  std::string model;  // empty: one per reflection
};

// The simulated profile. Alone: a loop of _pd_proc_2theta_corrected and
// _pd_calc_intensity_total on the profile's grid (the zero shift and the
// Caglioti, eta and doublet choices in the header). With a measured pattern:
// its points, _pd_meas_2theta_scan and _pd_meas_intensity_total (and
// _pd_proc_ls_weight = 1/sigma^2 with a sigma column), with
// _pd_calc_intensity_total the profile interpolated there, times fit.scale
// plus fit.background ("?" outside the profile's range).
std::string PatternCif(const PowderCifRun& run, const Profile& profile, const ProfileOptions& options,
                       const MeasuredPattern* measured = nullptr, const ScaleAndBackground& fit = {1.0, 0.0});

// The lines as _pd_peak rows (id, 2theta, d, intensity in percent of the
// strongest with LP, multiplicity) and every index vector of each line as a
// _refln row (indices, |qi|) that _pd_refln_peak_id ties to its line.
std::string LinesCif(const PowderCifRun& run, const PowderLines& lines, const LineOptions& options);

}  // namespace lumora
