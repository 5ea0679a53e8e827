// Tilt navigation: the symmetry axes seen from the current beam (angles and
// a stereographic projection), the mirror planes as great circles, and the
// angles of a double-tilt holder that bring an axis onto the beam.
// Stereographic projection of a unit vector v in the beam frame (x, y, b
// towards the viewer), from the hemisphere v.b >= 0: P = (v.x, v.y) / (1 + v.b);
// the beam at the centre, 90 degrees from it on the unit circle.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "zone/beam_frame.hpp"
#include "zone/zone_axes.hpp"

namespace lumora {

struct AxisView {
  SymmetryAxis axis;
  double angle = 0.0;      // from the beam, degrees 0..90
  double px = 0.0, py = 0.0;  // stereographic position (unit circle)
};

// Every axis of the lattice, nearest to the beam first.
std::vector<AxisView> AxesFromBeam(const Lattice& lattice, const BeamFrame& frame);

// Stereographic position of a direction (report frame), from the hemisphere
// facing the viewer.
std::array<double, 2> Stereographic(const BeamFrame& frame, const Direction& v);

// The great circle of the plane normal to n, as points on the projection
// (count points, closed: the last equals the first).
std::vector<std::array<double, 2>> GreatCircle(const BeamFrame& frame, const Direction& normal, int count = 181);

// The direction (report frame) at a stereographic position (|P| <= 1).
Direction FromStereographic(const BeamFrame& frame, double px, double py);

// A double-tilt holder: alpha turns the specimen about the holder axis (the
// reference pattern's x axis turned by holderAngle degrees counter-clockwise
// on screen), beta about the cradle axis (normal to it in the pattern plane),
// which alpha carries along; both right-handed, degrees. At alpha = beta = 0
// the reference axis lies along the beam.
struct HolderTilt {
  double alpha = 0.0;
  double beta = 0.0;
};
// The tilts that bring target onto the beam from reference; nothing when
// |alpha| would exceed maxAlpha or |beta| maxBeta (degrees).
std::optional<HolderTilt> TiltToAxis(const BeamFrame& reference, const Direction& target, double holderAngle = 0.0,
                                     double maxAlpha = 90.0, double maxBeta = 90.0);
// The beam direction (report frame) at the holder's tilts.
Direction BeamAtTilt(const BeamFrame& reference, const HolderTilt& tilt, double holderAngle = 0.0);

}  // namespace lumora
