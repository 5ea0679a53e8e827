// The calculated intensities a structure refinement fits, with their
// derivatives by every refined parameter:
//   I_calc(H) = scale |F(H)|^2 y,   y = (1 + 0.001 x |F|^2 lambda^3 / sin 2theta)^(-1/2)
// (x the isotropic extinction parameter, as SHELX writes it), F the structure
// factor of intensity/structure_factor.hpp, f_j the scattering factor of the
// radiation (X-ray form factor, neutron length or electron factor, radiation.hpp):
//   F = sum_j o_j f_j(s) exp(-Bpar_j s^2 - Bperp_j |q_perp|^2 / 4) T_j(q_perp) exp(2 pi i H.x_j) / V_perp.
// Derivatives are analytic: dF/do_j, -s^2 and -|q_perp|^2/4 times the site's
// term for the B's, and for the size the domain's growth (refine/domain_growth.hpp).
// A merged reflection's I_calc is the mean over its measured equivalents.
#pragma once

#include <complex>
#include <string>
#include <variant>
#include <vector>

#include <Eigen/Dense>

#include "intensity/radiation.hpp"
#include "intensity/structure_model.hpp"
#include "reflections/point_group.hpp"
#include "refine/refine_parameters.hpp"

namespace lumora {

class CalculatedIntensities {
 public:
  // reflections: per reflection its index vectors (the run's basis and
  // setting). radiation: its kind and wavelength (A). Returns a message when
  // the model cannot be placed on the lattice, an index vector lies beyond
  // the limiting sphere or the radiation's table lacks an element.
  static std::variant<CalculatedIntensities, std::string> Make(const Lattice& lattice, const Radiation& radiation,
                                                               const StructureModel& model,
                                                               const std::vector<std::vector<IndexVector>>& reflections);

  std::size_t size() const { return members_.size(); }

  // I_calc of every reflection at state (same sites, elements and positions
  // as the model given to Make). With a jacobian, its column k holds
  // dI_calc/d(free[k]) (the sum over the members of an equality).
  void Evaluate(const ModelState& state, const std::vector<FreeParameter>& free, std::vector<double>& intensity,
                Eigen::MatrixXd* jacobian = nullptr) const;

  // F of every reflection's first member at state (without scale and extinction).
  std::vector<std::complex<double>> StructureFactors(const ModelState& state) const;

  double Resolution(std::size_t reflection) const;  // sin theta / lambda of its first member, 1/A

 private:
  struct Point {           // one measured index vector
    double s2 = 0.0;       // (sin theta / lambda)^2, 1/A^2
    double perp2 = 0.0;    // |q_perp|^2, 1/A^2
    Vec3 perp{};           // q_perp, 1/A
    double extinction = 0.0;  // 0.001 lambda^3 / sin 2theta
    std::size_t first = 0; // its per-site values: sites_ entries from here
  };
  CalculatedIntensities() = default;
  ResolvedModel Resolve(const StructureModel& model) const;

  Lattice lattice_;
  std::size_t sites_ = 0;
  std::vector<Point> points_;
  std::vector<std::complex<double>> scatter_;  // per point and site: f_j(s) exp(2 pi i H.x_j) / V_perp
  std::vector<std::vector<std::size_t>> members_;  // per reflection: its points
};

}  // namespace lumora
