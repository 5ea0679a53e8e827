// Indexing synthetic images made by the test's own geometry: the fit must
// give back the camera constant, centre and rotation the image was drawn
// with, and refuse an image of another zone axis and one of random spots.
#include <gtest/gtest.h>

#include <Eigen/Geometry>
#include <algorithm>
#include <cmath>

#include "intensity/internal_space.hpp"
#include "zone/spot_finder.hpp"
#include "zone/synthetic_pattern.hpp"
#include "zone/zone_fit.hpp"

namespace lumora {
namespace {

using testing::DrawPattern;
using testing::Placement;
using testing::ZeroLayer;

ZoneInputs FiveFold() {
  ZoneInputs in;
  in.calculation.system = CrystalSystem::Icosahedral;
  in.calculation.groupIndex = FindGroup("P235")->listIndex;
  in.calculation.a = 5.1;
  in.calculation.qiLimit = 2.0;
  in.calculation.loopLimits.fill(6);
  in.beam.axisName = "5";
  in.gMax = 1.0;
  in.sMax = 0.2;  // the whole zero layer
  return in;
}

std::array<double, 3> Unit(std::array<double, 3> v) {
  const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  return {v[0] / n, v[1] / n, v[2] / n};
}

std::array<double, 3> Row(const Lattice& l, int i) { return {l.directMatrix[i][0], l.directMatrix[i][1], l.directMatrix[i][2]}; }

// Where the reported indices sit in the image: the test's own projection of
// each index vector, placed at the fitted K, rotation and centre, must be the
// fit's calculated position and lie on the measured spot within the fit's
// tolerance (close reflections drawn as one blob are found at their blend);
// and every index vector must be one the test drew. Indices of a wrongly
// turned equivalent would land tens of pixels away.
void ExpectIndicesOnTheirSpots(const ZoneFit& fit, const std::vector<testing::PlaneSpot>& drawn) {
  const double phi = fit.rotation * 3.14159265358979323846 / 180.0;
  for (const IndexedSpot& s : fit.indexed) {
    const auto it = std::find_if(drawn.begin(), drawn.end(), [&s](const testing::PlaneSpot& d) { return d.h == s.h; });
    ASSERT_NE(it, drawn.end()) << "indices of no drawn spot";
    const double u = fit.cx + fit.k * (it->gx * std::cos(phi) - it->gy * std::sin(phi));
    const double v = fit.cy - fit.k * (it->gx * std::sin(phi) + it->gy * std::cos(phi));
    ASSERT_LT(std::hypot(u - s.xCalc, v - s.yCalc), 0.01) << "spot at (" << s.x << ", " << s.y << ")";
    ASSERT_LT(std::hypot(u - s.x, v - s.y), ZoneFitOptions{}.tolerance) << "spot at (" << s.x << ", " << s.y << ")";
  }
}

TEST(ZoneFit, RecoversTheDrawnGeometryWithTheRotationReducedByTheSymmetry) {
  const ZonePattern pattern = SimulateZonePattern(FiveFold());
  ASSERT_EQ(pattern.error, "");
  const Lattice& lattice = pattern.lattice;
  // The five-fold axis: the physical part of the first direct basis vector.
  const auto spots = ZeroLayer(lattice, Unit(Row(lattice, 0)), 1.0, StarLength(lattice));
  ASSERT_GT(spots.size(), 40u);
  // Drawn at 12.3 and at 31.0 - 3 x 36 degrees: the pattern looks the same
  // every 36 degrees, so the fit reports 12.3 and 31.0 with the indices of
  // the symmetry-equivalent reflections.
  struct Case {
    Placement at;
    double reduced;
  };
  for (const Case c : {Case{{450.0, 12.3, 517.3, 498.6}, 12.3}, Case{{380.0, 31.0 - 108.0, 480.8, 530.2}, 31.0},
                       Case{{420.0, 200.5, 500.2, 511.9}, 200.5 - 180.0}}) {
    const GreyImage image = DrawPattern(spots, c.at, 1024, 7);
    const std::vector<FoundSpot> found = FindSpots(image);
    const ZoneFit fit = FitZoneImage(pattern, found, image.width, image.height);
    ASSERT_TRUE(fit.fitted) << fit.verdict;
    EXPECT_TRUE(fit.reliable) << fit.verdict;
    EXPECT_EQ(fit.rotationOrder, 10);
    EXPECT_NEAR(fit.k, c.at.k, 0.003 * c.at.k);
    EXPECT_NEAR(fit.cx, c.at.cx, 1.0);
    EXPECT_NEAR(fit.cy, c.at.cy, 1.0);
    EXPECT_NEAR(fit.rotation, c.reduced, 0.3);
    // The uncertainties cover the errors and are not absurdly large.
    EXPECT_LT(std::fabs(fit.k - c.at.k), 5.0 * fit.kSu + 1e-9);
    EXPECT_LT(fit.kSu, 0.003 * c.at.k);
    EXPECT_GT(fit.indexed.size(), 30u);
    EXPECT_LT(fit.rms, 0.5);
    ExpectIndicesOnTheirSpots(fit, spots);
  }
}

TEST(ZoneFit, ATiltedPatternKeepsOnlyItsCentreOfSymmetry) {
  // Tilted by 15 degrees about the pattern's x axis, the zero layer is seen
  // squeezed by cos 15 along y (x stays in the plane normal to the new beam,
  // y = b x x turns with it): no longer ten-fold, only centrosymmetric.
  ZoneInputs in = FiveFold();
  in.beam.tiltX = 15.0;
  in.sMax = 0.5;
  const ZonePattern pattern = SimulateZonePattern(in);
  ASSERT_EQ(pattern.error, "");
  EXPECT_EQ(pattern.rotationOrder, 2);
  const Lattice& lattice = pattern.lattice;
  std::vector<testing::PlaneSpot> spots = ZeroLayer(lattice, Unit(Row(lattice, 0)), 1.0, StarLength(lattice));
  for (testing::PlaneSpot& spot : spots) spot.gy *= std::cos(15.0 * 3.14159265358979323846 / 180.0);
  const Placement at{430.0, 100.0 + 180.0, 505.5, 520.5};
  const GreyImage image = DrawPattern(spots, at, 1024, 23);
  const ZoneFit fit = FitZoneImage(pattern, FindSpots(image), image.width, image.height);
  ASSERT_TRUE(fit.fitted) << fit.verdict;
  EXPECT_TRUE(fit.reliable) << fit.verdict;
  EXPECT_EQ(fit.rotationOrder, 2);
  EXPECT_NEAR(fit.k, at.k, 0.003 * at.k);
  EXPECT_NEAR(fit.cx, at.cx, 1.0);
  EXPECT_NEAR(fit.cy, at.cy, 1.0);
  EXPECT_NEAR(fit.rotation, 100.0, 0.3);
  ExpectIndicesOnTheirSpots(fit, spots);
}

// The five-fold zero layer seen with the beam turned tiltX degrees about the
// pattern's x axis, then tiltY about the turned y: each spot dimmed by
// 1 / (1 + 2 (pi t s)^2), the shape factor's mean over its fringes over t^2,
// with s = (k^2 - |k b' + g|^2) / 2k worked out here with Eigen's rotations.
GreyImage TiltedImage(const ZonePattern& pattern, double tiltX, double tiltY, const Placement& at, unsigned seed) {
  const Lattice& lattice = pattern.lattice;
  std::vector<testing::PlaneSpot> spots = ZeroLayer(lattice, Unit(Row(lattice, 0)), 1.0, StarLength(lattice));
  const double degree = 3.14159265358979323846 / 180.0, k = 1.0 / pattern.wavelength, t = pattern.thickness;
  const Eigen::Vector3d beam = Eigen::AngleAxisd(tiltX * degree, Eigen::Vector3d::UnitX()) *
                               Eigen::AngleAxisd(tiltY * degree, Eigen::Vector3d::UnitY()) * Eigen::Vector3d::UnitZ();
  for (testing::PlaneSpot& spot : spots) {
    const Eigen::Vector3d g(spot.gx, spot.gy, 0.0);
    const double sg = (k * k - (k * beam + g).squaredNorm()) / (2.0 * k);
    const double x = 3.14159265358979323846 * t * sg;
    spot.weight *= 1.0 / (1.0 + 2.0 * x * x);
  }
  return DrawPattern(spots, at, 1024, seed, 20000.0);
}

TEST(ZoneFit, FindsASmallTiltFromTheIntensitiesWithOrWithoutAStartCentre) {
  ZoneInputs in = FiveFold();
  in.thickness = 200.0;
  const ZonePattern pattern = SimulateZonePattern(in);
  ASSERT_EQ(pattern.error, "");
  // A tilted pattern's Friedel mates differ in strength, and the similar
  // pairs lie about the Laue circle's centre instead: the second image's is
  // 0.6 degrees / lambda, some 160 px from the beam.
  struct Case {
    double tiltX, tiltY;
    Placement at;
    unsigned seed;
  };
  for (const Case c : {Case{0.3, -0.2, {450.0, 8.0, 505.0, 515.0}, 17}, Case{-0.4, 0.45, {410.0, 23.5, 540.3, 481.7}, 29}}) {
    SCOPED_TRACE("tilt " + std::to_string(c.tiltX) + ", " + std::to_string(c.tiltY));
    const GreyImage image = TiltedImage(pattern, c.tiltX, c.tiltY, c.at, c.seed);
    const std::vector<FoundSpot> found = FindSpots(image);
    ZoneFitOptions alone;
    alone.fitTilt = true;
    ZoneFitOptions started = alone;  // where a hand would put it
    started.centre = std::array<double, 2>{c.at.cx + 1.5, c.at.cy - 1.0};
    for (const ZoneFitOptions& options : {alone, started}) {
      SCOPED_TRACE(options.centre ? "from a start centre" : "from the image alone");
      const ZoneFit fit = FitZoneImage(pattern, found, image.width, image.height, options);
      ASSERT_TRUE(fit.reliable) << fit.verdict;
      EXPECT_NEAR(fit.k, c.at.k, 0.003 * c.at.k);
      EXPECT_NEAR(fit.cx, c.at.cx, 1.0);
      EXPECT_NEAR(fit.cy, c.at.cy, 1.0);
      EXPECT_NEAR(std::remainder(fit.rotation - c.at.rotation, 36.0), 0.0, 0.3);
      ExpectIndicesOnTheirSpots(fit, ZeroLayer(pattern.lattice, Unit(Row(pattern.lattice, 0)), 1.0, StarLength(pattern.lattice)));
      ASSERT_TRUE(fit.tiltFitted);
      // The fitted indices may be those of a symmetry-equivalent orientation,
      // turned by the fitted rotation less the drawn one: the tilt turns with them.
      const double turn = -(fit.rotation - c.at.rotation) * 3.14159265358979323846 / 180.0;
      const double tx = c.tiltX * std::cos(turn) - c.tiltY * std::sin(turn), ty = c.tiltX * std::sin(turn) + c.tiltY * std::cos(turn);
      EXPECT_NEAR(fit.tiltX, tx, 0.03) << fit.rotation << " " << fit.tiltXSu;
      EXPECT_NEAR(fit.tiltY, ty, 0.03) << fit.rotation << " " << fit.tiltYSu;
      EXPECT_LT(fit.tiltXSu, 0.03);
    }
  }
}

TEST(ZoneFit, RefusesAnotherZoneAndRandomSpots) {
  const ZonePattern pattern = SimulateZonePattern(FiveFold());
  ASSERT_EQ(pattern.error, "");
  const Lattice& lattice = pattern.lattice;
  // A two-fold axis: the sum of two neighbouring five-fold axes.
  std::array<double, 3> two{};
  const auto a0 = Unit(Row(lattice, 0)), a1 = Unit(Row(lattice, 1));
  const double sign = a0[0] * a1[0] + a0[1] * a1[1] + a0[2] * a1[2] > 0 ? 1.0 : -1.0;
  for (int i = 0; i < 3; ++i) two[i] = a0[i] + sign * a1[i];
  const GreyImage other = DrawPattern(ZeroLayer(lattice, Unit(two), 1.0, StarLength(lattice)), {450.0, 5.0, 512.0, 512.0}, 1024, 11);
  const ZoneFit otherFit = FitZoneImage(pattern, FindSpots(other), 1024, 1024);
  EXPECT_FALSE(otherFit.reliable) << "K " << otherFit.k << " indexed " << otherFit.indexed.size();
  EXPECT_FALSE(otherFit.verdict.empty());

  std::mt19937 random(3);
  std::uniform_real_distribution<double> where(-0.9, 0.9), strength(0.05, 1.0);
  std::vector<testing::PlaneSpot> scattered;
  for (int i = 0; i < 150; ++i) scattered.push_back({where(random), where(random), strength(random)});
  const GreyImage noise = DrawPattern(scattered, {450.0, 0.0, 512.0, 512.0}, 1024, 5);
  const ZoneFit randomFit = FitZoneImage(pattern, FindSpots(noise), 1024, 1024);
  EXPECT_FALSE(randomFit.reliable) << "K " << randomFit.k << " indexed " << randomFit.indexed.size();
}

}  // namespace
}  // namespace lumora
