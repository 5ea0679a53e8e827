// Indexing a measured zone-axis image: the simulated zero-layer pattern is
// laid over the spots found in the image by the centre (cx, cy), the camera
// constant K (R = K / d, pixels x A) and the rotation phi, counter-clockwise
// on screen from the image's +x axis to the pattern's x axis:
//   u = cx + K (gx cos phi - gy sin phi),  v = cy - K (gx sin phi + gy cos phi)
// (pixels, origin at the top-left pixel centre, y down; g in 1/A).
// Search: the centre from the midpoints of pairs of similar spots (Friedel
// pairs; pattern_centre.hpp), then every pairing of a strong found spot with
// a strong simulated one proposes K and phi, each scored by the spots it
// indexes; the best are refined by linear least squares in (cx, cy,
// K cos phi, K sin phi) (Eigen) and matched again until the indexing stops
// changing. Without a start centre, a refused fit is searched again about
// the four centres where the most spots have a partner opposite them (a
// tilted pattern's similar pairs lie about its Laue circle's centre), and the
// best of all solutions judged. phi is given modulo 360 / rotation order of
// the pattern.
// Verdict (all must hold, else the fit is refused): at least minIndexed spots
// indexed; at least minFraction of the found spots inside the pattern's
// radius indexed; that fraction at least 3 times what chance gives (the part
// of the image within the tolerance of a simulated spot); rms residual at
// most half the tolerance; and the best other solution (not related by the
// pattern's symmetry) indexing at most 80 % as many spots.
// Optionally a small tilt of the beam from the simulated one (about the
// pattern's x, then y axis, as BeamFrame's TiltedBeam): the indexed spots'
// measured intensities against |F|^2 t^2 / (1 + 2 (pi t s)^2), the shape
// factor averaged over its thickness fringes, with s the excitation error of
// the tilted beam; least squares on the logarithms (scale, tilts) from the
// best point of a 0.1-degree grid within maxTilt, Gauss-Newton with Eigen.
#pragma once

#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "zone/spot_finder.hpp"
#include "zone/zone_pattern.hpp"

namespace lumora {

struct ZoneFitOptions {
  double tolerance = 3.0;           // px: a spot indexes a simulated one this near
  int minIndexed = 8;
  double minFraction = 0.5;
  double strongest = 1.0;           // percent of the largest |F|^2: zero-layer spots at least this strong take part
  double kMin = 0.0, kMax = 0.0;    // px A; both 0: any camera constant
  std::optional<std::array<double, 2>> centre;  // a known centre to start from (px)
  bool fitTilt = false;
  double maxTilt = 3.0;             // degrees searched either way
};

struct IndexedSpot {
  std::size_t found = 0;           // index into the found spots
  std::array<int, 6> h{};
  double d = 0.0;                  // A
  double x = 0.0, y = 0.0;         // measured, px
  double xCalc = 0.0, yCalc = 0.0; // from the fit, px
  double residual = 0.0;           // px
  double intensity = 0.0;          // measured (found spot's sum)
  double calculated = 0.0;         // simulated, percent
};

struct ZoneFitSolution {
  double k = 0.0, rotation = 0.0, cx = 0.0, cy = 0.0;  // px A, degrees, px
  int indexed = 0;
  double rms = 0.0;  // px
};

struct ZoneFit {
  bool fitted = false;   // a solution was found (reliable or not)
  bool reliable = false;
  std::string verdict;   // "reliable" or why not
  double k = 0.0, kSu = 0.0;
  double rotation = 0.0, rotationSu = 0.0;  // degrees
  double cx = 0.0, cxSu = 0.0, cy = 0.0, cySu = 0.0;
  double rms = 0.0;
  bool tiltFitted = false;
  double tiltX = 0.0, tiltXSu = 0.0, tiltY = 0.0, tiltYSu = 0.0;  // degrees
  int considered = 0;        // found spots inside the pattern's radius, off the centre
  double fraction = 0.0;     // indexed / considered
  double chanceFraction = 0.0;
  int rotationOrder = 2;
  std::vector<IndexedSpot> indexed;
  std::vector<std::size_t> unindexed;      // found spots considered but not indexed
  std::vector<ZoneFitSolution> candidates; // the best first, then distinct others
};

ZoneFit FitZoneImage(const ZonePattern& pattern, const std::vector<FoundSpot>& spots, int width, int height,
                     const ZoneFitOptions& options = {}, const std::atomic<bool>* cancel = nullptr);

}  // namespace lumora
