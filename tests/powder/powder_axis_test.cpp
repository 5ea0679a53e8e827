// The powder plot's axes against Bragg's law written out here, and the
// thinning of curves against a direct scan of every sample.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "powder/powder_axis.hpp"

namespace lumora {
namespace {

TEST(PowderAxis, DAndQFollowBraggsLawBothWays) {
  const double lambda = 1.5406;
  for (const double twoTheta : {0.5, 20.0, 45.0, 90.0, 150.0, 179.5}) {
    const double theta = twoTheta / 2.0 * std::numbers::pi / 180.0;
    const double d = AxisFromTwoTheta(twoTheta, lambda, PowderAxis::D);
    const double q = AxisFromTwoTheta(twoTheta, lambda, PowderAxis::Q);
    EXPECT_NEAR(d, lambda / (2.0 * std::sin(theta)), 1e-12 * d);
    EXPECT_NEAR(q * d, 2.0 * std::numbers::pi, 1e-12);
    EXPECT_NEAR(TwoThetaFromAxis(d, lambda, PowderAxis::D), twoTheta, 1e-9);
    EXPECT_NEAR(TwoThetaFromAxis(q, lambda, PowderAxis::Q), twoTheta, 1e-9);
    EXPECT_EQ(AxisFromTwoTheta(twoTheta, lambda, PowderAxis::TwoTheta), twoTheta);
  }
  // No value where Bragg's law has none, never a wrong number.
  EXPECT_TRUE(std::isnan(AxisFromTwoTheta(0.0, lambda, PowderAxis::D)));
  EXPECT_TRUE(std::isnan(AxisFromTwoTheta(180.0, lambda, PowderAxis::Q)));
  EXPECT_TRUE(std::isnan(TwoThetaFromAxis(lambda / 2.0 * 0.99, lambda, PowderAxis::D)));  // lambda / 2d > 1
  EXPECT_TRUE(std::isnan(TwoThetaFromAxis(-1.0, lambda, PowderAxis::Q)));
}

TEST(PowderAxis, IntensityScalesInvertAndKeepZerosOnTheLogFloor) {
  for (const auto scale : {IntensityScale::Linear, IntensityScale::SquareRoot, IntensityScale::Log})
    for (const double value : {0.25, 3.0, 1234.5})
      EXPECT_NEAR(UnscaleIntensity(ScaleIntensity(value, scale, 1e-3), scale), value, 1e-9 * value);
  EXPECT_EQ(ScaleIntensity(0.0, IntensityScale::Log, 0.01), -2.0);
  EXPECT_EQ(ScaleIntensity(-5.0, IntensityScale::Log, 0.01), -2.0);
  // A negative difference keeps its sign under the square root.
  EXPECT_EQ(ScaleIntensity(-4.0, IntensityScale::SquareRoot, 0.0), -2.0);
}

TEST(PowderAxis, TicksAreRoundAndInsideTheRange) {
  struct Case {
    double low, high;
    int maxTicks;
    double step;
  } cases[] = {{0.0, 1.0, 5, 0.2}, {-3.7, 12.2, 4, 5.0}, {10.0, 10.3, 6, 0.05}, {2.0, 178.0, 8, 50.0}, {0.0, 7e5, 5, 2e5}};
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(NiceTickStep(c.low, c.high, c.maxTicks), c.step) << c.low << " " << c.high;
    const std::vector<double> ticks = NiceTicks(c.low, c.high, c.maxTicks);
    ASSERT_FALSE(ticks.empty());
    EXPECT_LE(static_cast<int>(ticks.size()), c.maxTicks + 1);
    for (const double t : ticks) {
      EXPECT_GE(t, c.low - 1e-9);
      EXPECT_LE(t, c.high + 1e-9);
      EXPECT_NEAR(t / c.step, std::round(t / c.step), 1e-9);
    }
    EXPECT_LT(ticks.front() - c.step, c.low);  // none missed at the start
  }
  EXPECT_TRUE(NiceTicks(1.0, 1.0, 5).empty());
  EXPECT_TRUE(NiceTicks(0.0, std::nan(""), 5).empty());
}

TEST(PowderAxis, ZoomKeepsThePointUnderTheCursorAndPanStaysInside) {
  const AxisRange limits{10.0, 90.0};
  const AxisRange zoomed = ZoomRange(limits, 30.0, 4.0, limits);
  EXPECT_NEAR(zoomed.width(), 20.0, 1e-12);
  // 30 sat a quarter of the way across and still does.
  EXPECT_NEAR((30.0 - zoomed.low) / zoomed.width(), 0.25, 1e-12);
  const AxisRange out = ZoomRange(zoomed, 30.0, 0.01, limits);
  EXPECT_DOUBLE_EQ(out.low, limits.low);
  EXPECT_DOUBLE_EQ(out.high, limits.high);
  const AxisRange panned = PanRange(zoomed, 1000.0, limits);
  EXPECT_DOUBLE_EQ(panned.high, limits.high);
  EXPECT_NEAR(panned.width(), 20.0, 1e-12);
  const AxisRange back = PanRange(zoomed, -1000.0, limits);
  EXPECT_DOUBLE_EQ(back.low, limits.low);
  // A zoom in as far as it goes still leaves a range to draw.
  AxisRange deep = limits;
  for (int i = 0; i < 200; ++i) deep = ZoomRange(deep, 50.0, 1.25, limits);
  EXPECT_GT(deep.width(), 0.0);
}

TEST(PowderAxis, ThinningKeepsEveryColumnsExtremes) {
  // A million samples of a smooth curve with one sample-wide spike up and one down.
  const std::size_t n = 1'000'000;
  std::vector<double> x(n), y(n);
  for (std::size_t i = 0; i < n; ++i) {
    x[i] = 10.0 + 80.0 * static_cast<double>(i) / static_cast<double>(n - 1);
    y[i] = std::sin(x[i]);
  }
  y[123'457] = 50.0;
  y[876'543] = -50.0;
  const AxisRange range{20.0, 80.0};
  const std::size_t columns = 300;
  const Polyline thin = ThinForColumns(x, y, range, columns);
  EXPECT_LE(thin.x.size(), 4 * columns + 2 + 8);
  // Each column's highest and lowest sample, found by scanning every sample, is kept.
  std::vector<double> high(columns, -1e9), low(columns, 1e9);
  for (std::size_t i = 0; i < n; ++i) {
    if (x[i] < range.low || x[i] > range.high) continue;
    const auto c = std::min<std::size_t>(columns - 1, static_cast<std::size_t>((x[i] - range.low) / range.width() * columns));
    high[c] = std::max(high[c], y[i]);
    low[c] = std::min(low[c], y[i]);
  }
  std::vector<double> keptHigh(columns, -1e9), keptLow(columns, 1e9);
  for (std::size_t i = 0; i < thin.x.size(); ++i) {
    if (thin.x[i] < range.low || thin.x[i] > range.high) continue;
    const auto c = std::min<std::size_t>(columns - 1, static_cast<std::size_t>((thin.x[i] - range.low) / range.width() * columns));
    keptHigh[c] = std::max(keptHigh[c], thin.y[i]);
    keptLow[c] = std::min(keptLow[c], thin.y[i]);
  }
  for (std::size_t c = 0; c < columns; ++c) {
    EXPECT_EQ(keptHigh[c], high[c]) << c;
    EXPECT_EQ(keptLow[c], low[c]) << c;
  }
  // The line reaches both edges: one sample beyond each is kept.
  EXPECT_LT(thin.x.front(), range.low);
  EXPECT_GT(thin.x.back(), range.high);
  // Descending x (the d axis) thins the same way.
  std::vector<double> rx(x.rbegin(), x.rend()), ry(y.rbegin(), y.rend());
  const Polyline reversed = ThinForColumns(rx, ry, range, columns);
  EXPECT_EQ(reversed.x.size(), thin.x.size());
  EXPECT_TRUE(ThinForColumns(x, y, range, 0).x.empty());
}

}  // namespace
}  // namespace lumora
