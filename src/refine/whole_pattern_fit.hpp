// Whole-pattern (Rietveld-type) refinement of a measured powder pattern:
//   y_calc(2theta_i) = sum_j b_j T_j(x_i)
//                    + S sum over lines k and wavelengths l of
//                      w_l LP(2theta_k) I_k pV(2theta_i - c_kl, H(c_kl), eta) / A(eta)
// with I_k = sum over the line's orbit of |F(H)|^2 (the structure model, as in
// refine/calculated_intensities.hpp), c_kl = 2theta_k(a, c, lambda_l) + zero,
// H^2 = U tan^2(c/2) + V tan(c/2) + W, LP the Lorentz-polarisation factor at
// the run's wavelength (powder_lines.hpp), w_l = 1 (or 2/3 and 1/3 for the
// K-alpha doublet), the pseudo-Voigt of powder_profile.hpp cut at cutWidths
// FWHM and A(eta) its area there, and T_j the Chebyshev polynomials of
// x = 2 (2theta - min) / (max - min) - 1 over the measured range. Weights
// 1/sigma^2 (sigma from the file, else sqrt(max(y, 1))). Every derivative is
// analytic. Scale and background start at their linear least-squares values.
// Reports Rp, Rwp, R_exp and chi^2 = (Rwp / R_exp)^2, with the refusals of
// refine/least_squares_fit.hpp.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "powder/measured_pattern.hpp"
#include "refine/calculated_intensities.hpp"
#include "refine/least_squares_fit.hpp"
#include "refine/orbit_lines.hpp"
#include "refine/structure_refinement.hpp"

namespace lumora {

struct WholePatternSetup {
  Lattice lattice;                 // the run's, at the start a and c
  std::vector<OrbitLine> lines;    // the run's lines of complete orbits
  double wavelength = 0.0;         // A: Bragg's law and LP
  // Whose scattering factors F takes; X-rays take LP, neutrons and electrons
  // the Lorentz factor alone.
  RadiationKind radiation = RadiationKind::XRay;
  std::optional<std::array<double, 2>> doublet;  // K-alpha1, K-alpha2 in A
  double monochromatorTwoTheta = 0.0;            // degrees; 0: none
  double cutWidths = 20.0;
  MeasuredPattern measured;
  ModelState start;                // the model, scale, and pattern (zero, a, c, u, v, w, eta, background)
  std::vector<FreeParameter> free; // of the PowderPattern scope
  int maxIterations = 100;
  int searchStarts = 6;            // further starts for the structure parameters
  unsigned searchSeed = 1;
  std::function<void(int iteration, double chi2)> progress;
  const std::atomic<bool>* cancel = nullptr;
};

struct WholePatternOutcome : FittedParameters {
  double rp = 0.0, rwp = 0.0, rexp = 0.0, chi2 = 0.0;  // chi2 = sum w d^2 / (N - P)
  std::size_t points = 0;
  // On the measured points: the pattern, the fit and its background part.
  std::vector<double> twoTheta, observed, calculated, background;
  std::vector<double> lineTwoTheta;  // the lines' peaks at the solution (first wavelength, zero included)
};

// The calculated pattern of a state on the measured points, with its
// derivatives by the free parameters (columns) when jacobian is given, and
// its background part. NaN everywhere when the Caglioti width is not positive
// at a peak.
struct PatternCalculation {
  Eigen::VectorXd total, background;
};
class WholePatternModel {
 public:
  static std::variant<WholePatternModel, std::string> Make(const WholePatternSetup& setup);
  PatternCalculation Calculate(const ModelState& state, const std::vector<FreeParameter>& free,
                               Eigen::MatrixXd* jacobian) const;
  Eigen::VectorXd Weights() const { return weights_; }

 private:
  WholePatternModel() = default;
  const WholePatternSetup* setup_ = nullptr;
  std::shared_ptr<const CalculatedIntensities> intensities_;  // shared: the model is copied out of Make
  Eigen::VectorXd weights_;
  Eigen::MatrixXd chebyshev_;  // points x terms
};

WholePatternOutcome FitWholePattern(const WholePatternSetup& setup);

// dLP/d(2theta) per degree, from the closed form of LorentzPolarisation;
// unpolarised: of the Lorentz factor alone (LorentzFactor).
double LorentzPolarisationSlope(double twoTheta, double monochromatorTwoTheta, bool polarised = true);

}  // namespace lumora
