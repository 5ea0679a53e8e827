// Internal-space Fourier maps: the density of the n-dimensional crystal on a
// plane through a site parallel to internal space,
//   rho(x_j + u) = sum over H of F(H) exp(-2 pi i (H.x_j + q_perp(H).u)),
// u in internal space (A), summed over every reflection's orbit under the
// point group the data were merged in (Friedel mates at least). F is the
// model's F_calc, F_obs = F_calc sqrt(max(I_obs, 0) / I_calc) (the measured
// amplitude with the model's phase, scale and extinction taken out), or
// their difference. A site's own domain appears at u in W: away from its
// edge the map of exact data is high inside and near zero outside.
#pragma once

#include <array>
#include <string>
#include <variant>
#include <vector>

#include "reflections/point_group.hpp"
#include "refine/structure_refinement.hpp"

namespace lumora {

enum class MapSource { Observed, Calculated, Difference };

struct InternalMap {
  std::string site;
  MapSource source = MapSource::Observed;
  std::string plane;         // "internal x-y" (axial), "internal y-z" ... (icosahedral)
  int pixels = 0;            // the map is pixels x pixels
  double halfWidth = 0.0;    // A: the map spans [-halfWidth, halfWidth] in both directions
  // Row 0 at the top (v = +halfWidth), column 0 at the left (u = -halfWidth).
  std::vector<double> values;
  // The site's domain cut by the plane, as closed polygons in (u, v), A.
  std::vector<std::vector<std::array<double, 2>>> outlines;
  double Value(int row, int column) const { return values[static_cast<std::size_t>(row * pixels + column)]; }
  // (u, v) of a pixel's centre, A.
  std::array<double, 2> Position(int row, int column) const;
};

struct MapRequest {
  std::string site;             // the label of the site the plane passes through
  MapSource source = MapSource::Observed;
  int pixels = 121;             // 16 .. 1024
  double halfWidth = 0.0;       // A; 0: 1.3 times the domain's largest radius
};

// The maps of a refined outcome (status Refined): one for the axial systems,
// the three coordinate planes of internal space for the icosahedral one.
// group: the point group the data were merged in (null: Friedel mates only).
// Returns a message naming the site or the bad value instead.
std::variant<std::vector<InternalMap>, std::string> InternalSpaceMaps(const RefinementOutcome& outcome,
                                                                      const Lattice& lattice, const Radiation& radiation,
                                                                      const PointGroup* group,
                                                                      const MapRequest& request);

// "observed", "calculated", "difference".
std::string MapSourceName(MapSource source);

}  // namespace lumora
