#include "powder/peak_search.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "powder/pattern_scale.hpp"

namespace lumora {
namespace {

struct TestPeak {
  double centre, height, fwhm;
  double tolerance;  // in steps: the pair overlaps, the weak peak is near the noise
};

// Gaussian peaks on a flat background, written out here, with normal noise.
MeasuredPattern Synthetic(const std::vector<TestPeak>& peaks, double step, double noise, unsigned seed,
                          bool withSigma) {
  MeasuredPattern p;
  std::mt19937 random(seed);
  std::normal_distribution<double> normal(0.0, 1.0);
  for (int k = 0; k <= 3000; ++k) {
    const double t = 10.0 + k * step;
    double y = 50.0;
    for (const TestPeak& peak : peaks) {
      const double u = (t - peak.centre) / peak.fwhm;
      y += peak.height * std::exp(-4.0 * std::log(2.0) * u * u);
    }
    p.twoTheta.push_back(t);
    p.intensity.push_back(y + noise * normal(random));
    if (withSigma) p.sigma.push_back(noise);
  }
  return p;
}

// Heights 25 to 800 times the noise; one pair 0.15 degrees apart (1.5
// widths), which the second derivative still separates.
const std::vector<TestPeak> kPeaks = {{12.3456, 800.0, 0.1, 0.3}, {15.0031, 25.0, 0.1, 1.0},
                                      {21.117, 200.0, 0.12, 1.0}, {21.267, 100.0, 0.1, 1.0},
                                      {30.5049, 60.0, 0.1, 0.3},  {37.0, 500.0, 0.2, 0.3}};

TEST(PeakSearch, FindsThePeaksBetweenGridPointsAndNotTheNoise) {
  const double step = 0.01;
  // A window of 7 points for peaks 10 points wide.
  const PeakSearchOptions options{7, 3.0};
  for (unsigned seed = 1; seed <= 6; ++seed) {
    for (bool withSigma : {false, true}) {
      const std::vector<MeasuredPeak> found = FindPeaks(Synthetic(kPeaks, step, 1.0, seed, withSigma), options);
      ASSERT_EQ(found.size(), kPeaks.size()) << "seed " << seed << (withSigma ? " with sigma" : "");
      for (std::size_t i = 0; i < kPeaks.size(); ++i) {
        EXPECT_NEAR(found[i].twoTheta, kPeaks[i].centre, kPeaks[i].tolerance * step) << "seed " << seed << " peak " << i;
        EXPECT_NEAR(found[i].intensity, 50.0 + kPeaks[i].height, 0.1 * kPeaks[i].height + 3.0) << "peak " << i;
      }
    }
    EXPECT_TRUE(FindPeaks(Synthetic({}, step, 1.0, seed, false), options).empty()) << "noise alone, seed " << seed;
    EXPECT_TRUE(FindPeaks(Synthetic({}, step, 1.0, seed, true), options).empty()) << "noise alone, seed " << seed;
  }
  // Without noise the default window finds every centre.
  const std::vector<MeasuredPeak> clean = FindPeaks(Synthetic(kPeaks, step, 0.0, 1, false), {});
  ASSERT_EQ(clean.size(), kPeaks.size());
  for (std::size_t i = 0; i < kPeaks.size(); ++i)
    EXPECT_NEAR(clean[i].twoTheta, kPeaks[i].centre, (kPeaks[i].tolerance < 1.0 ? 0.02 : 1.0) * step) << "peak " << i;
}

TEST(PeakSearch, OptionsAndShortPatterns) {
  EXPECT_EQ(CheckPeakSearchOptions({5, 3.0}), "");
  EXPECT_EQ(CheckPeakSearchOptions({4, 3.0}), "smoothing 4 is not an odd number of points from 3 to 101");
  EXPECT_EQ(CheckPeakSearchOptions({103, 3.0}), "smoothing 103 is not an odd number of points from 3 to 101");
  EXPECT_EQ(CheckPeakSearchOptions({5, 0.0}), "threshold 0 is not a number above 0");
  EXPECT_EQ(CheckPeakSearchOptions({5, std::nan("")}), "threshold nan is not a number above 0");
  const MeasuredPattern pattern = Synthetic({{25.0, 100.0, 0.1, 0.0}}, 0.01, 0.0, 1, false);
  EXPECT_TRUE(FindPeaks(pattern, {4, 3.0}).empty());
  MeasuredPattern tiny;
  tiny.twoTheta = {10.0, 10.01, 10.02, 10.03};
  tiny.intensity = {0.0, 1.0, 5.0, 1.0};
  EXPECT_TRUE(FindPeaks(tiny, {5, 3.0}).empty());  // shorter than the window and its neighbours
  EXPECT_EQ(FindPeaks(MeasuredPattern{}, {}).size(), 0u);
}

TEST(PatternScale, LeastSquaresOverTheOverlapOnly) {
  Profile calculated;
  calculated.twoTheta = {10.0, 11.0, 12.0, 13.0};
  calculated.intensity = {1.0, 3.0, 2.0, 0.0};
  MeasuredPattern measured;
  // 10.5 and 12.5 interpolate to 2 and 1; 9 and 14 lie outside and must not count.
  measured.twoTheta = {9.0, 10.5, 12.0, 12.5, 14.0};
  measured.intensity = {1e6, 4.0, 4.0, 2.0, -1e6};
  EXPECT_NEAR(FitScale(calculated, measured), 2.0, 1e-15);
  // With sigmas, s = sum(y c / s^2) / sum(c^2 / s^2): here (8/1 + 8/4 + 1/1) / (4 + 4/4 + 1) = 11/6.
  measured.intensity = {0.0, 4.0, 4.0, 1.0, 0.0};
  measured.sigma = {1.0, 1.0, 2.0, 1.0, 1.0};
  EXPECT_NEAR(FitScale(calculated, measured), 11.0 / 6.0, 1e-15);
  calculated.intensity.assign(4, 0.0);
  EXPECT_EQ(FitScale(calculated, measured), 0.0);
  EXPECT_EQ(FitScale(Profile{}, measured), 0.0);
}

TEST(PatternScale, ScaleAndBackgroundOfAKnownLine) {
  // Measured = 2.5 x calculated + 40 at points between the calculated samples
  // (the interpolated values are written out by hand).
  Profile calculated;
  calculated.twoTheta = {10.0, 11.0, 12.0, 13.0};
  calculated.intensity = {1.0, 3.0, 2.0, 0.0};
  MeasuredPattern measured;
  measured.twoTheta = {9.0, 10.5, 11.0, 12.5, 13.0};  // 9 lies outside and must not count
  const double c[] = {0.0, 2.0, 3.0, 1.0, 0.0};
  for (const double v : c) measured.intensity.push_back(2.5 * v + 40.0);
  measured.intensity[0] = 1e6;
  const ScaleAndBackground fit = FitScaleAndBackground(calculated, measured);
  EXPECT_NEAR(fit.scale, 2.5, 1e-12);
  EXPECT_NEAR(fit.background, 40.0, 1e-10);
  // A flat profile cannot tell scale from background: the scale alone, no background.
  calculated.intensity.assign(4, 1.0);
  const ScaleAndBackground flat = FitScaleAndBackground(calculated, measured);
  EXPECT_EQ(flat.background, 0.0);
  EXPECT_NEAR(flat.scale, FitScale(calculated, measured), 1e-12);
  EXPECT_TRUE(std::isnan(InterpolateLinear(calculated.twoTheta, calculated.intensity, 13.5)));
  EXPECT_EQ(InterpolateLinear(calculated.twoTheta, calculated.intensity, 13.0), 1.0);
}

// Counts near the top of the number range, or sigmas near its bottom, must not
// overflow the sums: the scale is the closed form's s = sum y c / sum c^2.
TEST(PatternScale, HugeCountsAndTinySigmasKeepTheirScale) {
  Profile calculated;
  calculated.twoTheta = {10.0, 11.0, 12.0, 13.0};
  calculated.intensity = {2.0, 3.0, 2.0, 1.0};
  MeasuredPattern measured;
  measured.twoTheta = {10.0, 11.0, 12.0, 13.0};
  measured.intensity = {1.7e308, 4.0, 4.0, 2.0};
  EXPECT_NEAR(FitScale(calculated, measured), 1.7e308 / 18.0 * 2.0 + 22.0 / 18.0, 1e-12 * 1.7e308 / 9.0);
  for (double& y : measured.intensity) y = 0.0;
  for (std::size_t i = 0; i < 4; ++i) measured.intensity[i] = 5e307 * calculated.intensity[i];
  measured.sigma = {1e-200, 2e-200, 1e-200, 4e-200};
  EXPECT_NEAR(FitScale(calculated, measured), 5e307, 1e-12 * 5e307);
  const ScaleAndBackground fit = FitScaleAndBackground(calculated, measured);
  EXPECT_NEAR(fit.scale, 5e307, 1e-9 * 5e307);
  EXPECT_NEAR(fit.background, 0.0, 1e-9 * 5e307);
}

}  // namespace
}  // namespace lumora
