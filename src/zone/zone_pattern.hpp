// The kinematic zone-axis diffraction pattern: every reflection of the run
// (space group, qi limit, loop limits) within gMax of the origin whose
// excitation error is at most sMax, with its position in the pattern frame,
// its Laue zone and its intensity I = |F|^2 x shape factor (shape factor:
// sin^2(pi t s)/(pi s)^2 in A^2, or its mean over a precession turn).
// |F| comes from the structure model with the radiation's scattering factors
// (radiation.hpp); without a model every reflection has
// |F|^2 = exp(-(l |q_perp|)^2), l the edge of the tiling's rhombi (StarLength),
// so that spots with small internal components are the strong ones.
#pragma once

#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "intensity/radiation.hpp"
#include "intensity/structure_model.hpp"
#include "reflections/calculation.hpp"
#include "zone/beam_frame.hpp"
#include "zone/zone_axes.hpp"

namespace lumora {

// The beam: a named symmetry axis or a direct-lattice index vector, then tilts.
struct ZoneBeam {
  std::string axisName = "";                    // used when index is empty
  std::optional<std::array<int, 6>> index;      // direct-lattice vector
  std::optional<Direction> direction;           // a beam off the axis (report frame); the axis
                                                // still gives the Laue zones and the frame's x
  double tiltX = 0.0;                           // degrees about the pattern's x, then
  double tiltY = 0.0;                           // about its y (BeamFrame TiltedBeam)
};

struct ZoneInputs {
  CalculationInputs calculation;  // system, group, setting, a, c, qi limit, loop limits; its
                                  // wavelength and theta range are replaced by the pattern's
  Radiation radiation = ElectronRadiation(200.0);
  ZoneBeam beam;
  double thickness = 500.0;   // A, > 0
  double precession = 0.0;    // degrees, 0..10
  double gMax = 1.5;          // pattern radius, 1/A, > 0
  double sMax = 0.05;         // largest |excitation error| kept, 1/A, > 0
  double cameraLength = 0.0;  // mm; 0: no positions in mm
};

struct ZoneSpot {
  std::array<int, 6> h{};
  double x = 0.0, y = 0.0;      // pattern frame, 1/A
  double height = 0.0;          // g along the reference axis, 1/A
  double excitationError = 0.0; // 1/A, positive inside the Ewald sphere
  int laueZone = 0;
  double d = 0.0;               // 1/|g|, A
  double qPerp = 0.0;           // |q_perp|, 1/A
  double fSquared = 0.0;        // |F|^2 (model units), or the qi weight
  double shape = 0.0;           // shape factor, A^2
  double intensity = 0.0;       // 100 I / largest I
  double xMm = 0.0, yMm = 0.0;  // on a flat screen at the camera length, mm
};

struct ZonePattern {
  std::string error;        // why nothing was simulated
  Lattice lattice;
  SymmetryAxis axis;        // the reference axis (before tilts)
  BeamFrame frame;          // of the tilted beam
  double wavelength = 0.0;  // A
  double thickness = 0.0;   // A
  double layerSpacing = 0;  // Laue zones: 1 / |physical part of axis.index|, 1/A
  int rotationOrder = 2;    // in-plane rotation symmetry of the spot positions (Friedel included):
                            // the axis's along it, 2 for a tilted beam
  bool model = false;       // intensities from a structure model
  std::vector<ZoneSpot> spots;  // by |g|, then azimuth
};

// Checks the inputs; an empty string when they can be simulated.
std::string CheckZoneInputs(const ZoneInputs& inputs);

// The pattern. A model written for another system, an element the radiation
// has no scattering factor for, or a failed run give the error and no spots.
ZonePattern SimulateZonePattern(const ZoneInputs& inputs, const StructureModel* model = nullptr,
                                const std::atomic<bool>* cancel = nullptr);

// The physical reciprocal vector of index vector h (report frame, 1/A).
Direction PhysicalReciprocal(const Lattice& lattice, const std::array<int, 6>& h);

// The Laue zone of a reflection at height h (along the axis, 1/A) for layer
// spacing delta: 0 when h is 0 (to 1e-9 of delta), else
// -sign(h) ceil(|h| / delta - 1e-6): positive on the side of the source,
// where the Ewald sphere meets the upper layers, and the index along the axis
// for a periodic axis.
int LaueZone(double height, double delta);

}  // namespace lumora
