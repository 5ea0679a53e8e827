// Synthetic single-crystal data for the refinement tests: the reflections of
// a run, I = scale |F|^2 y from the intensity module's structure factors (its
// own tests check them against direct Fourier sums), y the extinction factor
// written out here, and Gaussian noise from a fixed seed.
#pragma once

#include <cmath>
#include <random>
#include <variant>
#include <vector>

#include "intensity/model_file.hpp"
#include "intensity/structure_factor.hpp"
#include "refine/observations.hpp"
#include "reflections/calculation.hpp"

namespace lumora::testing {

struct SyntheticData {
  Lattice lattice;
  double wavelength = 0.0;
  std::vector<Observation> observations;
  double largestExtinctionTerm = 0.0;  // max of 0.001 |F|^2 lambda^3 / sin 2theta
};

// sigma = relative I + floor Imax; noise draws from N(0, sigma) when seed > 0.
inline SyntheticData MakeSyntheticData(const StructureModel& model, const CalculationInputs& inputs, double scale,
                                       double extinction, unsigned seed, double relative = 0.03,
                                       double floor = 0.002) {
  SyntheticData data;
  const CalculationResult run = RunCalculation(inputs);
  data.lattice = run.lattice;
  data.wavelength = inputs.wavelength;
  const ResolvedModel resolved = std::get<ResolvedModel>(ResolveModel(model, run.lattice));
  IntensityResult f;
  ComputeIntensities(resolved, run.lattice, run.records, inputs.wavelength, f);
  std::vector<double> truth;
  std::vector<IndexVector> indices;
  for (std::size_t k = 0; k < run.records.size(); ++k) {
    const ReflectionRecord& r = run.records[k];
    IndexVector h{};
    for (int i = 0; i < 6; ++i) h[i] = static_cast<int>(std::lround(r.h[i]));
    const double f2 = f.fAbs[k] * f.fAbs[k];
    const double sinTheta = std::sin(r.theta * 3.14159265358979323846 / 180.0);
    const double term = 0.001 * f2 * std::pow(inputs.wavelength, 3) / (2.0 * sinTheta * std::sqrt(1 - sinTheta * sinTheta));
    data.largestExtinctionTerm = std::max(data.largestExtinctionTerm, term);
    truth.push_back(scale * f2 / std::sqrt(1.0 + extinction * term));
    indices.push_back(h);
  }
  double largest = 0.0;
  for (double i : truth) largest = std::max(largest, i);
  std::mt19937 random(seed);
  std::normal_distribution<double> normal(0.0, 1.0);
  for (std::size_t k = 0; k < truth.size(); ++k) {
    const double sigma = relative * truth[k] + floor * largest;
    const double noise = seed > 0 ? sigma * normal(random) : 0.0;
    data.observations.push_back({indices[k], truth[k] + noise, sigma, static_cast<int>(k + 1)});
  }
  return data;
}

}  // namespace lumora::testing
