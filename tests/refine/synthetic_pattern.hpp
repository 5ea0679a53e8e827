// A synthetic measured powder pattern for the whole-pattern tests and bench,
// made by the powder module: the model's |F|^2 on the lines of a run whose
// box holds the orbits whole (BuildPowderLines, with LP), the profile
// (ComputeProfile) scaled to a highest peak of 8000 counts, a three-term
// Chebyshev background written out here, and Gaussian noise of sqrt(counts)
// from a fixed seed (none for seed 0).
#pragma once

#include <algorithm>
#include <cmath>
#include <random>
#include <variant>

#include "intensity/structure_factor.hpp"
#include "powder/measured_pattern.hpp"
#include "powder/powder_lines.hpp"
#include "powder/powder_profile.hpp"
#include "refine/refine_parameters.hpp"
#include "reflections/calculation.hpp"

namespace lumora::testing {

// run: the calculation at the true a and c; truth: zero, U, V, W, eta and
// three background coefficients. scale: set to the factor on the profile.
inline MeasuredPattern SyntheticPattern(const StructureModel& model, const CalculationInputs& run, const PatternState& truth,
                                        double low, double high, double& scale, unsigned seed) {
  const CalculationResult result = RunCalculation(run);
  IntensityResult f;
  ComputeIntensities(std::get<ResolvedModel>(ResolveModel(model, result.lattice)), result.lattice, result.records,
                     run.wavelength, f);
  std::vector<double> f2;
  for (double a : f.fAbs) f2.push_back(a * a);
  const PowderLines lines = BuildPowderLines(result.records, &f2, run.wavelength);
  ProfileOptions o;
  o.twoThetaMin = low;
  o.twoThetaMax = high;
  o.step = 0.01;
  o.u = truth.u, o.v = truth.v, o.w = truth.w, o.eta = truth.eta;
  o.zeroShift = truth.zero;
  const Profile profile = ComputeProfile(lines.lines, o);
  scale = 8000.0 / *std::max_element(profile.intensity.begin(), profile.intensity.end());
  MeasuredPattern m;
  std::mt19937 random(seed);
  std::normal_distribution<double> normal(0.0, 1.0);
  for (std::size_t i = 0; i < profile.twoTheta.size(); ++i) {
    const double x = 2.0 * (profile.twoTheta[i] - low) / (high - low) - 1.0;
    const double background = truth.background[0] + truth.background[1] * x + truth.background[2] * (2 * x * x - 1);
    const double y = background + scale * profile.intensity[i];
    m.twoTheta.push_back(profile.twoTheta[i]);
    m.intensity.push_back(seed > 0 ? y + std::sqrt(y) * normal(random) : y);
    m.sigma.push_back(std::sqrt(y));
  }
  return m;
}

}  // namespace lumora::testing
