// Kinematic structure factors of the kept reflections from a structure model:
//   F(H) = sum_j o_j f_j(s) exp(-Bpar_j s^2) exp(-Bperp_j |q_perp|^2 / 4) G_j(q_perp) exp(2 pi i H.x_j)
// with s = |q_par| / 2 = sin(theta)/lambda, q in 1/A without 2 pi, G_j the
// domain transform divided by the internal cell volume and f_j the scattering
// factor of the radiation (radiation.hpp; X-rays: the form factor with its
// anomalous terms at the run's wavelength). The intensity |F|^2 is
// given as a percentage of the strongest reflection of the list.
#pragma once

#include <atomic>
#include <chrono>
#include <complex>
#include <optional>
#include <string>
#include <vector>

#include "intensity/radiation.hpp"
#include "intensity/structure_model.hpp"
#include "reflections/calculation.hpp"
#include "reflections/reflection_record.hpp"

namespace lumora {

// Parallel to the run's records.
struct IntensityResult {
  std::vector<double> fAbs;       // |F|, scattering-factor units (X-rays: electrons) per internal cell volume
  std::vector<double> fPhase;     // arg F, degrees in (-180, 180]
  std::vector<double> intensity;  // 100 (|F| / max |F|)^2 (0 for an empty or all-zero list)
  double maxF = 0.0;              // the largest |F|
  std::string model;              // the model's name, for the outputs
  std::string error;              // why the computation stopped, when it did
};

// F of one index vector (indices in the run's basis).
std::complex<double> StructureFactor(const ResolvedModel& model, const Lattice& lattice, const std::array<int, 6>& h,
                                     const Radiation& radiation);
// X-rays of that wavelength.
inline std::complex<double> StructureFactor(const ResolvedModel& model, const Lattice& lattice,
                                            const std::array<int, 6>& h, double wavelength) {
  return StructureFactor(model, lattice, h, XRayRadiation(wavelength));
}

struct IntensityControl {
  int threads = 0;  // 0: every core
  // The work stops soon after this flag is set, or this time has come (a
  // record's cost grows with the sites: the checks come every few records).
  const std::atomic<bool>* cancel = nullptr;
  std::optional<std::chrono::steady_clock::time_point> deadline;
};

enum class IntensityStatus { Completed, Cancelled, TimedOut, NotFinite };

// The structure factors of every record. Anything but Completed leaves the
// result incomplete; NotFinite (a structure factor that overflowed) names the
// reflection in result.error.
// Throws std::runtime_error when the radiation has no scattering factor for
// one of the model's elements.
IntensityStatus ComputeIntensities(const ResolvedModel& model, const Lattice& lattice,
                                   const std::vector<ReflectionRecord>& records, const Radiation& radiation,
                                   IntensityResult& result, const IntensityControl& control = {});
// X-rays of that wavelength.
inline IntensityStatus ComputeIntensities(const ResolvedModel& model, const Lattice& lattice,
                                          const std::vector<ReflectionRecord>& records, double wavelength,
                                          IntensityResult& result, const IntensityControl& control = {}) {
  return ComputeIntensities(model, lattice, records, XRayRadiation(wavelength), result, control);
}

// Keeps the records (and their intensities) with intensity >= percent of the
// strongest, and recomputes the run's statistics over them.
void KeepStrongReflections(CalculationResult& run, IntensityResult& result, double percent);

}  // namespace lumora
