#include "powder/powder_lines.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace lumora {
namespace {

constexpr double kDeg = std::numbers::pi / 180.0;

ReflectionRecord Record(double d, double qi, std::array<float, 6> h) {
  ReflectionRecord r;
  r.d = static_cast<float>(d);
  r.qi = static_cast<float>(qi);
  r.h = h;
  return r;
}

TEST(PowderLines, LorentzPolarisationKnownValues) {
  // Worked by hand. 2theta = 90: cos 2theta = 0, so P = 1/(1 + cos^2 2thetaM),
  // L = 1/(sin^2 45 cos 45) = 2 sqrt 2.
  EXPECT_NEAR(LorentzPolarisation(90.0), std::sqrt(2.0), 1e-12);
  // 2theta = 60: P = (1 + 1/4)/2 = 5/8, L = 1/((1/4)(sqrt3/2)) = 8/sqrt3: LP = 5/sqrt3.
  EXPECT_NEAR(LorentzPolarisation(60.0), 5.0 / std::sqrt(3.0), 1e-12);
  // A monochromator at 2thetaM = 90 polarises fully: P = 1 at every angle.
  EXPECT_NEAR(LorentzPolarisation(60.0, 90.0), 8.0 / std::sqrt(3.0), 1e-12);
  // Graphite (002) for Cu, 2thetaM = 26.6: P at 2theta = 90 is 1/(1 + cos^2 26.6).
  const double c = std::cos(26.6 * kDeg);
  EXPECT_NEAR(LorentzPolarisation(90.0, 26.6), 2.0 * std::sqrt(2.0) / (1.0 + c * c), 1e-12);
  // The factor falls from low angles to its minimum near 2theta = 110 and rises again.
  EXPECT_GT(LorentzPolarisation(20.0), LorentzPolarisation(60.0));
  EXPECT_GT(LorentzPolarisation(160.0), LorentzPolarisation(110.0));
}

TEST(PowderLines, MergesEqualSpacingsWithKnownMultiplicities) {
  // Five reflections at d = 2 (a few float steps apart, as equivalent
  // reflections come out of the run), three at 1.5, one 5e-6 above 2.
  std::vector<ReflectionRecord> records = {
      Record(1.5, 0.3, {1, 1, 0, 0, 0, 0}),   Record(2.0, 0.1, {1, 0, 0, 0, 0, 0}),
      Record(2.0000005, 0.1, {0, 1, 0, 0, 0, 0}), Record(2.00001, 0.2, {2, -1, 0, 0, 0, 0}),
      Record(1.9999996, 0.1, {0, 0, 1, 0, 0, 0}), Record(1.5, 0.3, {0, 1, 1, 0, 0, 0}),
      Record(2.0, 0.1, {0, 0, 0, 1, 0, 0}),   Record(2.0, 0.1, {-1, -1, -1, -1, 0, 0}),
      Record(1.5000001, 0.3, {0, 0, 1, 1, 0, 0}),
  };
  const std::vector<double> intensity = {10, 1, 2, 7, 3, 20, 4, 5, 30};
  const double lambda = 1.5405982;
  const PowderLines merged = BuildPowderLines(records, &intensity, lambda, {});
  ASSERT_EQ(merged.lines.size(), 3u);
  EXPECT_EQ(merged.lines[0].multiplicity, 1);
  EXPECT_EQ(merged.lines[1].multiplicity, 5);
  EXPECT_EQ(merged.lines[2].multiplicity, 3);
  // The index vectors of a line in the run's order, with their qi.
  const std::vector<std::array<int, 6>> expected = {
      {1, 0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0}, {0, 0, 1, 0, 0, 0}, {0, 0, 0, 1, 0, 0}, {-1, -1, -1, -1, 0, 0}};
  EXPECT_EQ(merged.lines[1].indices, expected);
  EXPECT_EQ(merged.lines[1].qi.size(), 5u);
  EXPECT_NEAR(merged.lines[2].qi[0], 0.3, 1e-7);
  // Bragg's law and the closed-form LP worked out here.
  const double twoTheta = 2.0 * std::asin(lambda / 4.0) / kDeg;
  EXPECT_NEAR(merged.lines[1].twoTheta, twoTheta, 1e-5);
  const double t = 0.5 * twoTheta * kDeg;
  const double lp = (1.0 + std::pow(std::cos(2.0 * t), 2)) / 2.0 / (std::pow(std::sin(t), 2) * std::cos(t));
  EXPECT_NEAR(merged.lines[1].intensity, (1 + 2 + 3 + 4 + 5) * lp, 1e-4 * lp);

  // Without a model each reflection counts 1; a wider tolerance takes in the
  // reflection 5e-6 above.
  LineOptions wide;
  wide.tolerance = 1e-5;
  PowderLines unit = BuildPowderLines(records, nullptr, lambda, wide);
  ASSERT_EQ(unit.lines.size(), 2u);
  EXPECT_EQ(unit.lines[0].multiplicity, 6);
  EXPECT_NEAR(unit.lines[0].intensity, 6 * lp, 1e-3 * lp);

  ScaleLinesToPercent(unit.lines);
  EXPECT_DOUBLE_EQ(std::max(unit.lines[0].intensity, unit.lines[1].intensity), 100.0);
}

TEST(PowderLines, MergingDoesNotChainAlongNeighbours) {
  // Each spacing within the tolerance of the next, the last far from the first.
  std::vector<ReflectionRecord> records;
  for (int i = 0; i < 5; ++i) records.push_back(Record(2.0 * (1.0 - 8e-7 * i), 0.0, {static_cast<float>(i), 0, 0, 0, 0, 0}));
  const PowderLines merged = BuildPowderLines(records, nullptr, 1.0, {});
  ASSERT_EQ(merged.lines.size(), 3u);
  EXPECT_EQ(merged.lines[0].multiplicity + merged.lines[1].multiplicity + merged.lines[2].multiplicity, 5);
}

TEST(PowderLines, BackscatterAndBadOptions) {
  // d = lambda/2 is at 2theta = 180 where LP has no value: dropped and counted.
  const std::vector<ReflectionRecord> records = {Record(0.5, 0.0, {1, 0, 0, 0, 0, 0}), Record(1.0, 0.0, {0, 1, 0, 0, 0, 0})};
  const PowderLines merged = BuildPowderLines(records, nullptr, 1.0, {});
  ASSERT_EQ(merged.lines.size(), 1u);
  EXPECT_EQ(merged.droppedAtBackscatter, 1u);
  EXPECT_TRUE(std::isfinite(merged.lines[0].intensity));

  EXPECT_EQ(CheckLineOptions({}), "");
  EXPECT_NE(CheckLineOptions({-1e-6, 0.0}).find("tolerance"), std::string::npos);
  EXPECT_NE(CheckLineOptions({1e-6, 180.0}).find("monochromator"), std::string::npos);
  EXPECT_NE(CheckLineOptions({std::nan(""), 0.0}).find("tolerance"), std::string::npos);
}

}  // namespace
}  // namespace lumora
