#include "zone/zone_pattern.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <variant>

#include "common/number_text.hpp"
#include "intensity/internal_space.hpp"
#include "intensity/structure_factor.hpp"
#include "reflections/index_slab.hpp"

namespace lumora {
namespace {

constexpr double kPi = 3.14159265358979323846;

std::string Text(double v) { return ShortestText(v); }

std::optional<SymmetryAxis> ReferenceAxis(const Lattice& lattice, const ZoneBeam& beam, std::string& error) {
  if (beam.index) {
    if (std::all_of(beam.index->begin(), beam.index->begin() + lattice.nDim, [](int u) { return u == 0; })) {
      error = "the beam's index vector is zero";
      return std::nullopt;
    }
    return AxisFromIndex(lattice, *beam.index);
  }
  std::optional<SymmetryAxis> axis = NamedAxis(lattice, beam.axisName);
  if (!axis) error = "axis \"" + beam.axisName + "\" is not one of " + AxisNames(lattice);
  return axis;
}

// Every g with |g| <= gMax and |s| <= sMax has, as s = -g.b - lambda g^2 / 2,
// |g.b| <= sMax + lambda gMax^2 / 2: a slab about the plane normal to the
// beam, whose normal in index space is b through the physical rows of the
// reciprocal basis. Widened by a margin far above rounding.
IndexSlab EwaldSlab(const Lattice& lattice, const Direction& beam, double lambda, double gMax, double sMax) {
  IndexSlab slab;
  for (int j = 0; j < lattice.nDim; ++j) {
    std::array<double, 6> column{};
    for (int i = 0; i < lattice.nDim; ++i) column[i] = lattice.inverseMatrix[i][j];
    const Vec3 g = PhysicalPart(lattice, column);
    slab.normal[static_cast<std::size_t>(j)] = g[0] * beam[0] + g[1] * beam[1] + g[2] * beam[2];
  }
  slab.halfWidth = (sMax + lambda * gMax * gMax / 2.0) * (1.0 + 1e-6) + 1e-9;
  return slab;
}

}  // namespace

Direction PhysicalReciprocal(const Lattice& lattice, const std::array<int, 6>& h) {
  std::array<double, 6> w{};
  for (int i = 0; i < lattice.nDim; ++i)
    for (int j = 0; j < lattice.nDim; ++j) w[i] += lattice.inverseMatrix[i][j] * static_cast<double>(h[j]);
  return PhysicalPart(lattice, w);
}

int LaueZone(double height, double delta) {
  const double ratio = height / delta;
  if (std::fabs(ratio) <= 1e-9) return 0;
  const int n = static_cast<int>(std::ceil(std::fabs(ratio) - 1e-6));
  return ratio > 0.0 ? -std::max(n, 1) : std::max(n, 1);
}

std::string CheckZoneInputs(const ZoneInputs& in) {
  if (!(in.radiation.wavelength > 0.0) || !std::isfinite(in.radiation.wavelength))
    return "wavelength " + Text(in.radiation.wavelength) + " A must be a number above 0";
  CalculationInputs run = in.calculation;
  run.wavelength = in.radiation.wavelength;
  run.thetaLow = 0.0;
  run.thetaHigh = 90.0;
  const std::string problem = CheckInputs(run);
  if (!problem.empty()) return problem;
  if (!(in.thickness > 0.0) || !(in.thickness <= 1e7)) return "thickness " + Text(in.thickness) + " A must be above 0";
  if (!(in.precession >= 0.0 && in.precession <= 10.0))
    return "precession angle " + Text(in.precession) + " must be from 0 to 10 degrees";
  if (!(in.gMax > 0.0 && in.gMax <= 20.0)) return "pattern radius " + Text(in.gMax) + " 1/A must be above 0 and at most 20";
  if (!(in.sMax > 0.0 && in.sMax <= 10.0)) return "excitation error limit " + Text(in.sMax) + " 1/A must be above 0";
  if (!(in.cameraLength >= 0.0 && in.cameraLength <= 1e6)) return "camera length " + Text(in.cameraLength) + " mm must not be negative";
  if (!(std::fabs(in.beam.tiltX) <= 90.0 && std::fabs(in.beam.tiltY) <= 90.0))
    return "tilts must be from -90 to 90 degrees";
  return "";
}

ZonePattern SimulateZonePattern(const ZoneInputs& in, const StructureModel* structure, const std::atomic<bool>* cancel) {
  ZonePattern out;
  out.error = CheckZoneInputs(in);
  if (!out.error.empty()) return out;
  const double lambda = in.radiation.wavelength;
  out.wavelength = lambda;
  out.thickness = in.thickness;

  // The beam first: the run then walks only the slab of index space near
  // the Ewald sphere instead of the whole sphere of radius gMax.
  const Lattice lattice = SetupLattice(in.calculation.system, in.calculation.a, in.calculation.c, in.calculation.yamamoto);
  std::optional<SymmetryAxis> axis = ReferenceAxis(lattice, in.beam, out.error);
  if (!axis) return out;
  out.axis = *axis;
  const BeamFrame reference = FrameOfBeam(axis->direction);
  const BeamFrame start = in.beam.direction ? FrameOfBeam(*in.beam.direction, reference.x, reference.y) : reference;
  out.frame = FrameOfBeam(TiltedBeam(start, in.beam.tiltX, in.beam.tiltY), reference.x, reference.y);

  CalculationInputs run = in.calculation;
  run.wavelength = lambda;
  run.thetaLow = 0.0;
  const double sine = lambda * in.gMax / 2.0;
  run.thetaHigh = sine >= 1.0 ? 90.0 : std::asin(sine) * 180.0 / kPi * (1.0 + 1e-9) + 1e-12;
  RunControl control;
  control.cancel = cancel;
  CalculationResult result = RunCalculationInSlab(run, EwaldSlab(lattice, out.frame.beam, lambda, in.gMax, in.sMax), control);
  if (result.status != RunStatus::Completed) {
    out.error = result.status == RunStatus::Cancelled ? "cancelled" : result.error;
    return out;
  }
  out.lattice = result.lattice;
  const Direction r = PhysicalDirectVector(lattice, axis->index);
  out.layerSpacing = 1.0 / std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
  out.rotationOrder = axis->order % 2 == 1 ? 2 * axis->order : axis->order;
  // A tilted beam sees the zero layer at a slant: its spots keep only the centre of symmetry.
  if ((in.beam.direction && AngleBetweenAxes(*in.beam.direction, axis->direction) > 1e-6) || in.beam.tiltX != 0.0 ||
      in.beam.tiltY != 0.0)
    out.rotationOrder = 2;

  std::optional<ResolvedModel> resolved;
  if (structure) {
    auto made = ResolveModel(*structure, lattice);
    if (const std::string* error = std::get_if<std::string>(&made)) {
      out.error = *error;
      return out;
    }
    resolved = std::get<ResolvedModel>(std::move(made));
    out.model = true;
  }

  const int n = lattice.nDim;
  const double star = StarLength(lattice);
  const double k = 1.0 / lambda;
  // Room for every record up front: growing the vectors a spot at a time
  // copied megabytes into fresh pages, most of the pattern's time.
  std::vector<ReflectionRecord> kept;
  if (resolved) kept.reserve(result.records.size());
  out.spots.reserve(result.records.size());
  for (const ReflectionRecord& record : result.records) {
    ZoneSpot spot;
    std::array<double, 6> w{};
    for (int i = 0; i < n; ++i) spot.h[i] = static_cast<int>(std::lround(record.h[i]));
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) w[i] += lattice.inverseMatrix[i][j] * static_cast<double>(spot.h[j]);
    const Vec3 par = PhysicalPart(lattice, w);
    const double g = std::sqrt(par[0] * par[0] + par[1] * par[1] + par[2] * par[2]);
    if (g > in.gMax) continue;
    spot.excitationError = ExcitationError(out.frame.beam, par, lambda);
    if (std::fabs(spot.excitationError) > in.sMax) continue;
    const Vec3 perp = InternalPart(lattice, w);
    const std::array<double, 3> c = InFrame(out.frame, par);
    spot.x = c[0];
    spot.y = c[1];
    spot.height = par[0] * axis->direction[0] + par[1] * axis->direction[1] + par[2] * axis->direction[2];
    spot.laueZone = LaueZone(spot.height, out.layerSpacing);
    spot.d = 1.0 / g;
    spot.qPerp = std::sqrt(perp[0] * perp[0] + perp[1] * perp[1] + perp[2] * perp[2]);
    spot.shape = PrecessionShapeFactor(out.frame, par, lambda, in.thickness, in.precession);
    if (!resolved) spot.fSquared = std::exp(-(star * spot.qPerp) * (star * spot.qPerp));
    if (in.cameraLength > 0.0) {
      const double gt2 = c[0] * c[0] + c[1] * c[1];
      const double kz = std::sqrt(std::max(k * k - gt2, 0.0));
      if (kz > 0.0) spot.xMm = in.cameraLength * c[0] / kz, spot.yMm = in.cameraLength * c[1] / kz;
    }
    out.spots.push_back(spot);
    if (resolved) kept.push_back(record);
  }
  if (resolved) {
    IntensityResult f;
    try {
      IntensityControl intensityControl;
      intensityControl.cancel = cancel;
      const IntensityStatus status = ComputeIntensities(*resolved, lattice, kept, in.radiation, f, intensityControl);
      if (status != IntensityStatus::Completed) {
        out.error = status == IntensityStatus::Cancelled ? std::string("cancelled") : f.error;
        out.spots.clear();
        return out;
      }
    } catch (const std::runtime_error& e) {
      out.error = e.what();
      out.spots.clear();
      return out;
    }
    for (std::size_t i = 0; i < out.spots.size(); ++i) out.spots[i].fSquared = f.fAbs[i] * f.fAbs[i];
  }
  double largest = 0.0;
  for (const ZoneSpot& s : out.spots) largest = std::max(largest, s.fSquared * s.shape);
  for (ZoneSpot& s : out.spots) s.intensity = largest > 0.0 ? 100.0 * s.fSquared * s.shape / largest : 0.0;
  // By |g|, then azimuth: the keys worked out once, not in every comparison.
  struct Key {
    double radius, azimuth;
    std::size_t spot;
  };
  std::vector<Key> keys(out.spots.size());
  for (std::size_t i = 0; i < keys.size(); ++i)
    keys[i] = {std::hypot(out.spots[i].x, out.spots[i].y), std::atan2(out.spots[i].y, out.spots[i].x), i};
  std::stable_sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
    if (std::fabs(a.radius - b.radius) > 1e-9 * (1.0 + a.radius)) return a.radius < b.radius;
    return a.azimuth < b.azimuth;
  });
  // Spot i of the sorted list is keys[i].spot: applied in place, cycle by cycle.
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (keys[i].spot == i) continue;
    ZoneSpot held = std::move(out.spots[i]);
    std::size_t at = i;
    while (keys[at].spot != i) {
      const std::size_t from = keys[at].spot;
      out.spots[at] = std::move(out.spots[from]);
      keys[at].spot = at;
      at = from;
    }
    out.spots[at] = std::move(held);
    keys[at].spot = at;
  }
  return out;
}

}  // namespace lumora
