// The zone-axis pattern against geometry worked out here: the zero-order
// Laue zone, distances in the five-fold plane, the Laue zones of the periodic
// axis, the Ewald-sphere excitation error, camera-length positions, and the
// rotational symmetry of model intensities.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <tuple>

#include "intensity/model_file.hpp"
#include "zone/zone_pattern.hpp"

namespace lumora {
namespace {

const double kTau = (1.0 + std::sqrt(5.0)) / 2.0;
constexpr double kPi = 3.14159265358979323846;

ZoneInputs Icosahedral(const char* axis, int loops = 6) {
  ZoneInputs in;
  in.calculation.system = CrystalSystem::Icosahedral;
  in.calculation.groupIndex = FindGroup("P235")->listIndex;
  in.calculation.a = 5.1;
  in.calculation.qiLimit = 1.2;
  in.calculation.loopLimits.fill(loops);
  in.beam.axisName = axis;
  in.gMax = 1.0;
  return in;
}

std::array<double, 3> PhysicalOf(const Lattice& lattice, const std::array<int, 6>& h) {
  std::array<double, 6> w{};
  for (int i = 0; i < lattice.nDim; ++i)
    for (int j = 0; j < lattice.nDim; ++j) w[i] += lattice.inverseMatrix[i][j] * h[j];
  return lattice.nDim == 6 ? std::array<double, 3>{w[0], w[1], w[2]} : std::array<double, 3>{w[0], w[1], w[4]};
}

TEST(ZonePattern, FiveFoldZeroLayerIsThePlaneNormalToTheAxis) {
  ZoneInputs in = Icosahedral("5");
  in.sMax = 0.2;  // keep the whole zero layer
  const ZonePattern p = SimulateZonePattern(in);
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.rotationOrder, 10);
  // Independently: every reflection of the run within gMax whose physical
  // vector has no z component (the five-fold axis of row 0 is z).
  CalculationInputs run = in.calculation;
  run.wavelength = 0.5, run.thetaLow = 0.0, run.thetaHigh = 30.0;
  const CalculationResult all = RunCalculation(run);
  std::set<std::array<int, 6>> expected;
  for (const ReflectionRecord& r : all.records) {
    std::array<int, 6> h{};
    for (int i = 0; i < 6; ++i) h[i] = static_cast<int>(r.h[i]);
    const auto q = PhysicalOf(all.lattice, h);
    if (std::fabs(q[2]) < 1e-9 && std::hypot(q[0], q[1]) <= in.gMax) expected.insert(h);
  }
  std::set<std::array<int, 6>> zeroLayer;
  for (const ZoneSpot& s : p.spots) {
    if (s.laueZone == 0) zeroLayer.insert(s.h);
    const auto q = PhysicalOf(p.lattice, s.h);
    // The pattern frame of a beam along z is the report's x, y.
    EXPECT_NEAR(s.x, q[0], 1e-12);
    EXPECT_NEAR(s.y, q[1], 1e-12);
  }
  EXPECT_GT(expected.size(), 50u);
  EXPECT_EQ(zeroLayer, expected);

  // Along the mirror line x, the strong spots lie at tau-scaled distances:
  // every distance is (m + n tau) times the shortest, and the shortest times
  // tau and tau^2 are there.
  std::vector<double> along;
  for (const ZoneSpot& s : p.spots)
    if (s.laueZone == 0 && std::fabs(s.y) < 1e-9 && s.x > 0) along.push_back(s.x);
  ASSERT_GE(along.size(), 3u);
  std::sort(along.begin(), along.end());
  auto inModule = [](double r) {
    for (int n = -20; n <= 20; ++n) {
      const double m = r - n * kTau;
      if (std::fabs(m - std::round(m)) < 1e-9) return true;
    }
    return false;
  };
  for (double x : along) EXPECT_TRUE(inModule(x / along[0])) << x / along[0];
  auto has = [&](double r) {
    return std::any_of(along.begin(), along.end(), [&](double x) { return std::fabs(x - r) < 1e-9; });
  };
  EXPECT_TRUE(has(along[0] * kTau));
  EXPECT_TRUE(has(along[0] * kTau * kTau));
}

// Each spot, turned by 360/order degrees about the beam, meets a spot of the
// same intensity at the same height: the zero layer with Friedel's law, the
// upper layers with the axis alone (spots on the edges of the kept region aside: rounding may
// keep one and drop its partner).
void ExpectRotationalSymmetry(const ZonePattern& p, const ZoneInputs& in, int order, int axisOrder) {
  std::size_t checked = 0;
  for (const ZoneSpot& s : p.spots) {
    const double angle = 2.0 * kPi / (s.laueZone == 0 ? order : axisOrder);
    if (s.intensity < 1e-3 || std::fabs(s.excitationError) > in.sMax - 1e-9 || 1.0 / s.d > in.gMax - 1e-9) continue;
    const double x = s.x * std::cos(angle) - s.y * std::sin(angle);
    const double y = s.x * std::sin(angle) + s.y * std::cos(angle);
    const auto partner = std::find_if(p.spots.begin(), p.spots.end(), [&](const ZoneSpot& t) {
      return std::fabs(t.x - x) < 1e-9 && std::fabs(t.y - y) < 1e-9 && std::fabs(t.height - s.height) < 1e-9;
    });
    ASSERT_NE(partner, p.spots.end()) << s.x << " " << s.y << " zone " << s.laueZone;
    EXPECT_NEAR(partner->intensity, s.intensity, 1e-7 * (1.0 + s.intensity));
    ++checked;
  }
  EXPECT_GT(checked, 30u);
}

TEST(ZonePattern, ModelIntensitiesFollowTheAxisSymmetry) {
  const StructureModel model = *BuiltinModel("ammann-kramer");
  for (const auto& [axis, order, axisOrder] : {std::tuple{"5", 10, 5}, {"3", 6, 3}, {"2", 2, 2}}) {
    ZoneInputs in = Icosahedral(axis, 8);
    in.precession = 1.0;
    const ZonePattern p = SimulateZonePattern(in, &model);
    ASSERT_EQ(p.error, "") << axis;
    EXPECT_TRUE(p.model);
    EXPECT_EQ(p.rotationOrder, order);
    ExpectRotationalSymmetry(p, in, order, axisOrder);
  }
}

TEST(ZonePattern, PeriodicAxisLaueZonesAreTheLastIndex) {
  ZoneInputs in;
  in.calculation.system = CrystalSystem::Decagonal;
  in.calculation.groupIndex = FindGroup("P10/mmm")->listIndex;
  in.calculation.a = 2.82;
  in.calculation.c = 4.1;
  in.calculation.qiLimit = 1.0;
  in.calculation.loopLimits.fill(3);
  in.beam.axisName = "10";
  in.sMax = 0.3;
  in.cameraLength = 800.0;
  const ZonePattern p = SimulateZonePattern(in);
  ASSERT_EQ(p.error, "");
  EXPECT_NEAR(p.layerSpacing, 1.0 / 4.1, 1e-12);
  std::set<int> zones;
  for (const ZoneSpot& s : p.spots) {
    // The source lies on the -z side of a beam along +z: h5 < 0 is upper.
    EXPECT_EQ(s.laueZone, -s.h[4]);
    zones.insert(s.laueZone);
    // On a flat screen L tan(2 theta'), sin(2 theta') = lambda g_t.
    const double gt = std::hypot(s.x, s.y);
    if (gt > 0) {
      const double r = 800.0 * std::tan(std::asin(p.wavelength * gt));
      EXPECT_NEAR(std::hypot(s.xMm, s.yMm), r, 1e-9 * r);
      EXPECT_NEAR(std::atan2(s.yMm, s.xMm), std::atan2(s.y, s.x), 1e-12);
    }
  }
  EXPECT_TRUE(zones.count(0) && zones.count(1));
}

TEST(ZonePattern, ExcitationErrorAndShapeFactor) {
  const double lambda = RelativisticElectronWavelength(200.0);
  const double k = 1.0 / lambda;
  const Direction b{0.0, 0.0, 1.0};
  // g = k (b' - b) for a unit b' lies on the sphere; moving it along +b by
  // delta takes it outside by delta cos t + lambda delta^2 / 2.
  const double t = 0.03;
  const Direction g{k * std::sin(t), 0.0, k * (std::cos(t) - 1.0)};
  EXPECT_NEAR(ExcitationError(b, g, lambda), 0.0, 1e-10);
  EXPECT_NEAR(ExcitationError(b, {g[0], g[1], g[2] + 1e-3}, lambda), -1e-3 * std::cos(t) - lambda * 1e-6 / 2.0, 1e-12);
  EXPECT_NEAR(ExcitationError(b, {1.0, 0.0, 0.0}, lambda), -lambda / 2.0, 1e-15);

  const double thickness = 400.0;
  EXPECT_DOUBLE_EQ(ShapeFactor(0.0, thickness), thickness * thickness);
  EXPECT_NEAR(ShapeFactor(1.0 / thickness, thickness), 0.0, 1e-20 * thickness * thickness + 1e-12);
  EXPECT_NEAR(ShapeFactor(1.5 / thickness, thickness), thickness * thickness / (1.5 * 1.5 * kPi * kPi), 1e-6 * thickness * thickness);
  // Integral over s is t (the trapezoid rule out to +-L, the tails ~ 1/(pi^2 L) beyond).
  const double range = 2.0, step = 1e-5;
  double integral = 0.0;
  for (double s = -range; s <= range; s += step) integral += ShapeFactor(s, thickness) * step;
  integral += 1.0 / (kPi * kPi * range);
  EXPECT_NEAR(integral, thickness, 1e-3 * thickness);

  // Precession: for a thick slab the mean over a turn tends to
  // t / (pi sqrt(A^2 - B^2)), s = A cos psi + B.
  const BeamFrame frame = FrameOfBeam(b);
  const double thick = 3000.0, phi = 2.0 * kPi / 180.0;
  const Direction h{1.0, 0.0, 0.0};
  const double a = std::sin(phi), bb = std::cos(phi) * 0.0 + lambda / 2.0;
  const double closed = thick / (kPi * std::sqrt(a * a - bb * bb));
  EXPECT_NEAR(PrecessionShapeFactor(frame, h, lambda, thick, 2.0), closed, 0.02 * closed);
  EXPECT_DOUBLE_EQ(PrecessionShapeFactor(frame, h, lambda, thick, 0.0), ShapeFactor(-lambda / 2.0, thick));
}

TEST(ZonePattern, BadInputsAreNamed) {
  ZoneInputs in = Icosahedral("7");
  EXPECT_NE(SimulateZonePattern(in).error.find("axis \"7\" is not one of 5, 3 or 2"), std::string::npos);
  in.beam.axisName = "5";
  in.thickness = -1.0;
  EXPECT_NE(SimulateZonePattern(in).error.find("thickness"), std::string::npos);
  in.thickness = 100.0;
  const StructureModel penrose = *BuiltinModel("penrose");
  EXPECT_NE(SimulateZonePattern(in, &penrose).error.find("decagonal"), std::string::npos);
  in.beam.index = std::array<int, 6>{};
  EXPECT_EQ(SimulateZonePattern(in).error, "the beam's index vector is zero");
}

}  // namespace
}  // namespace lumora
