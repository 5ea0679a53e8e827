// The pattern frame of a beam direction and the excitation error of a
// reciprocal-lattice point. The beam travels along b (unit, report frame)
// towards the viewer; the pattern's x axis is the report's x projected onto
// the plane normal to b (the report's y when x lies along b), y = b x x. A beam
// along the report's z has the report's x and y as its pattern axes.
// Reciprocal vectors in 1/A without 2 pi.
#pragma once

#include <array>

#include "zone/zone_axes.hpp"

namespace lumora {

struct BeamFrame {
  Direction beam{0.0, 0.0, 1.0};  // b, towards the viewer
  Direction x{1.0, 0.0, 0.0};
  Direction y{0.0, 1.0, 0.0};
};

BeamFrame FrameOfBeam(const Direction& beam);
// The frame whose x is xWanted projected onto the plane normal to beam
// (fallback when xWanted lies along the beam): a tilted beam keeps the
// untilted pattern's axes as nearly as it can.
BeamFrame FrameOfBeam(const Direction& beam, const Direction& xWanted, const Direction& fallback);

// The beam turned by tiltX about the frame's x axis, then by tiltY about the
// frame's y axis (degrees, right-handed).
Direction TiltedBeam(const BeamFrame& frame, double tiltXDegrees, double tiltYDegrees);

// Components of g along x, y and b.
std::array<double, 3> InFrame(const BeamFrame& frame, const Direction& g);

// s = (k^2 - |k0 + g|^2) / (2k), k = 1/lambda, k0 = k b: the distance of g
// inside the Ewald sphere along the beam (positive inside), 1/A; lambda in A.
double ExcitationError(const Direction& beam, const Direction& g, double wavelength);

// sin^2(pi t s) / (pi s)^2, A^2: the kinematic intensity factor of a slab
// t A thick at excitation error s (1/A); t^2 at s = 0, zero at s = 1/t.
double ShapeFactor(double s, double thickness);

// The shape factor averaged over one precession turn: the beam precesses on
// a cone of half-angle precessionDegrees (0..10) about beam, the pattern
// de-scanned. s(psi) = -g.b(psi) - lambda g^2 / 2 for the beam b(psi) on the
// cone; the mean over psi by the midpoint rule, with steps fine enough that s
// moves by at most a tenth of 1/t between samples (at least 64, at most 20,000).
double PrecessionShapeFactor(const BeamFrame& frame, const Direction& g, double wavelength, double thickness,
                             double precessionDegrees);

}  // namespace lumora
