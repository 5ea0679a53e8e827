// The simulated powder profile: pseudo-Voigt lines with the Caglioti width
//   H^2 = U tan^2(theta) + V tan(theta) + W      (H: FWHM in degrees 2 theta)
//   pV(x) = eta L(x) + (1 - eta) G(x),  x = 2 theta - 2 theta_line, both of FWHM H and unit area:
//   G(x) = (2/H) sqrt(ln2/pi) exp(-4 ln2 x^2/H^2),  L(x) = (2/(pi H)) / (1 + 4 x^2/H^2)
// optionally as the K-alpha1/K-alpha2 doublet (K-alpha2 at half the strength of
// K-alpha1, positions from Bragg's law with the anode's two wavelengths).
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "powder/powder_lines.hpp"

namespace lumora {

// FWHM in degrees 2 theta at twoTheta (degrees, in (0, 180)); NaN when
// U tan^2 + V tan + W is not positive there.
double CagliotiWidth(double u, double v, double w, double twoTheta);

// The unit-area pseudo-Voigt at x (degrees) for FWHM fwhm > 0 and eta in [0, 1].
double PseudoVoigt(double x, double fwhm, double eta);

inline constexpr std::size_t kMaxProfilePoints = 20'000'000;

struct ProfileOptions {
  double twoThetaMin = 2.0;   // degrees
  double twoThetaMax = 60.0;  // degrees
  double step = 0.01;         // degrees
  double u = 0.0, v = 0.0, w = 0.01;  // degrees^2
  double eta = 0.5;
  double cutWidths = 20.0;    // a line reaches this many FWHM either side of its centre
  // K-alpha1 and K-alpha2 in A: each line becomes the doublet, with 2/3 of
  // its intensity in K-alpha1 and 1/3 in K-alpha2. Empty: one peak per line
  // at the line's 2 theta.
  std::optional<std::array<double, 2>> doublet;
  // Degrees added to every peak's position: the instrument's zero error, so
  // that the calculated pattern lies where a measured one has its peaks.
  double zeroShift = 0.0;
};

// Why the options cannot be used, naming the value, or an empty string. U, V
// and W must lie within 100 degrees^2 of 0 (a FWHM of 10 degrees at 2 theta =
// 90 degrees; wider peaks are no powder pattern).
std::string CheckProfileOptions(const ProfileOptions& options);

// Points of the 2 theta grid min, min + step, ... up to max (within step/1e6).
std::size_t ProfilePointCount(const ProfileOptions& options);

struct Profile {
  std::vector<double> twoTheta;   // the grid, degrees
  std::vector<double> intensity;  // per degree 2 theta
  std::string error;              // why nothing was computed; empty when fine
};

// Each peak is cut at cutWidths FWHM and scaled so that its samples times the
// step add up to its intensity exactly: the sampled pattern keeps the line
// intensities however coarse the step or short the cut (a peak narrower than
// the step goes whole into its nearest point). Parts of a peak outside the
// range are not in the pattern, and only its part near the range is sampled
// (the rest of its window enters the unit area by the closed form), so that the
// work per peak is bounded by the range. The error names a line where the
// Caglioti width is not positive.
// The work stops, with the error "cancelled", soon after cancel is set.
Profile ComputeProfile(const std::vector<PowderLine>& lines, const ProfileOptions& options,
                       const std::atomic<bool>* cancel = nullptr);

}  // namespace lumora
