#include "powder/powder_profile.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace lumora {
namespace {

constexpr double kDeg = std::numbers::pi / 180.0;

PowderLine Line(double twoTheta, double intensity, double d = 1.0) {
  PowderLine line;
  line.twoTheta = twoTheta;
  line.intensity = intensity;
  line.d = d;
  line.multiplicity = 1;
  return line;
}

double Area(const Profile& p, std::size_t from, std::size_t to, double step) {
  return std::accumulate(p.intensity.begin() + static_cast<std::ptrdiff_t>(from),
                         p.intensity.begin() + static_cast<std::ptrdiff_t>(to), 0.0) * step;
}

TEST(PowderProfile, PseudoVoigtAreaAndHalfWidth) {
  // Simpson's rule over [-L, L] against the closed forms of the two parts:
  // Lorentzian (2/pi) atan(2L/H), Gaussian erf(2 L sqrt(ln2) / H).
  for (double eta : {0.0, 0.3, 1.0}) {
    for (double h : {0.05, 0.8}) {
      const double limit = 15.0 * h;
      const int n = 200000;
      const double dx = 2.0 * limit / n;
      double sum = PseudoVoigt(-limit, h, eta) + PseudoVoigt(limit, h, eta);
      for (int i = 1; i < n; ++i) sum += (i % 2 ? 4.0 : 2.0) * PseudoVoigt(-limit + i * dx, h, eta);
      const double expected = eta * (2.0 / std::numbers::pi) * std::atan(2.0 * limit / h) +
                              (1.0 - eta) * std::erf(2.0 * limit * std::sqrt(std::log(2.0)) / h);
      EXPECT_NEAR(sum * dx / 3.0, expected, 1e-9) << "eta " << eta << " H " << h;
      // Both parts have their half maximum at x = H/2.
      EXPECT_NEAR(PseudoVoigt(0.5 * h, h, eta), 0.5 * PseudoVoigt(0.0, h, eta), 1e-12 / h);
    }
  }
}

TEST(PowderProfile, LineAreaPositionAndWidth) {
  ProfileOptions o;
  o.twoThetaMin = 30.0;
  o.twoThetaMax = 50.0;
  o.step = 0.002;
  o.u = 0.0;
  o.v = 0.0;
  o.w = 0.01;  // H = 0.1 degrees everywhere
  o.eta = 0.4;
  const Profile p = ComputeProfile({Line(40.0031, 37.5)}, o);
  ASSERT_EQ(p.error, "");
  ASSERT_EQ(p.twoTheta.size(), 10001u);
  EXPECT_NEAR(Area(p, 0, p.intensity.size(), o.step), 37.5, 37.5e-6);
  // The maximum at the grid point nearest the line; the width at half
  // maximum, read off the samples, is H.
  const auto top = std::max_element(p.intensity.begin(), p.intensity.end()) - p.intensity.begin();
  EXPECT_NEAR(p.twoTheta[static_cast<std::size_t>(top)], 40.004, 1e-9);
  const double half = 0.5 * p.intensity[static_cast<std::size_t>(top)];
  double low = 0.0, high = 0.0;
  for (std::size_t i = 1; i < p.intensity.size(); ++i) {
    const double a = p.intensity[i - 1] - half, b = p.intensity[i] - half;
    const double x = p.twoTheta[i - 1] + o.step * a / (a - b);
    if (a < 0 && b >= 0) low = x;
    if (a >= 0 && b < 0) high = x;
  }
  EXPECT_NEAR(high - low, 0.1, 2e-3);
  EXPECT_NEAR(0.5 * (high + low), 40.0031, 2e-4);

  // A step wider than the line keeps the area; so does a short cut.
  o.step = 0.5;
  EXPECT_NEAR(Area(ComputeProfile({Line(40.0031, 37.5)}, o), 0, 41, 0.5), 37.5, 37.5e-9);
  o.step = 0.002;
  o.cutWidths = 2.0;
  EXPECT_NEAR(Area(ComputeProfile({Line(40.0031, 37.5)}, o), 0, 10001, o.step), 37.5, 37.5e-9);
  // A line at the edge of the range is partly outside it.
  const Profile edge = ComputeProfile({Line(30.0, 10.0)}, o);
  EXPECT_NEAR(Area(edge, 0, edge.intensity.size(), o.step), 5.0, 0.1);
}

TEST(PowderProfile, EverySampleAsTheClosedFormsGiveIt) {
  // Each sample against the pseudo-Voigt written out here with an exp per
  // point, over the cut window and scaled to the line's area: far tails,
  // pure Gaussians (whose tails run into underflow) and pure Lorentzians too.
  const double ln2 = std::log(2.0);
  for (double eta : {0.0, 0.4, 1.0}) {
    for (double w : {1e-4, 0.01, 0.3}) {  // H = 0.01, 0.1 and 0.55 degrees at a step of 0.01
      ProfileOptions o;
      o.twoThetaMin = 20.0;
      o.twoThetaMax = 60.0;
      o.step = 0.01;
      o.w = w;
      o.eta = eta;
      const std::vector<PowderLine> lines = {Line(31.2345, 7.0), Line(44.0, 3.0)};
      const Profile p = ComputeProfile(lines, o);
      ASSERT_EQ(p.error, "");
      std::vector<double> expected(p.twoTheta.size(), 0.0);
      const double h = std::sqrt(w);
      for (const PowderLine& line : lines) {
        const double centre = (line.twoTheta - o.twoThetaMin) / o.step, reach = o.cutWidths * h / o.step;
        const auto first = static_cast<long long>(std::ceil(centre - reach));
        const auto last = static_cast<long long>(std::floor(centre + reach));
        std::vector<double> shape;
        double sum = 0.0;
        for (long long i = first; i <= last; ++i) {
          const double x = (static_cast<double>(i) - centre) * o.step;
          const double g = (2.0 / h) * std::sqrt(ln2 / std::numbers::pi) * std::exp(-4.0 * ln2 * x * x / (h * h));
          const double l = (2.0 / (std::numbers::pi * h)) / (1.0 + 4.0 * x * x / (h * h));
          shape.push_back(eta * l + (1.0 - eta) * g);
          sum += shape.back();
        }
        for (long long i = first; i <= last; ++i)
          expected[static_cast<std::size_t>(i)] += line.intensity * shape[static_cast<std::size_t>(i - first)] / (sum * o.step);
      }
      for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_NEAR(p.intensity[i], expected[i], 1e-12 * expected[i] + 1e-300) << "eta " << eta << " w " << w << " at " << i;
    }
  }
}

TEST(PowderProfile, DoubletFollowsBraggsLawWithHalfStrength) {
  const double l1 = 1.5405982, l2 = 1.544438;  // Cu K-alpha1, K-alpha2
  const double d = l1 / (2.0 * std::sin(70.0 * kDeg));  // K-alpha1 at 2theta = 140
  const double second = 2.0 * std::asin(l2 / (2.0 * d)) / kDeg;
  ProfileOptions o;
  o.twoThetaMin = 135.0;
  o.twoThetaMax = 145.0;
  o.step = 0.001;
  o.w = 0.0025;  // H = 0.05
  o.cutWidths = 5.0;
  o.doublet = std::array<double, 2>{l1, l2};
  const Profile p = ComputeProfile({Line(140.0, 90.0, d)}, o);
  ASSERT_EQ(p.error, "");
  ASSERT_GT(second - 140.0, 0.7);  // well apart with H = 0.05 and a cut of 5 widths
  const auto middle = static_cast<std::size_t>(std::lround((0.5 * (140.0 + second) - o.twoThetaMin) / o.step));
  const double a1 = Area(p, 0, middle, o.step), a2 = Area(p, middle, p.intensity.size(), o.step);
  EXPECT_NEAR(a1, 60.0, 1e-6);
  EXPECT_NEAR(a2 / a1, 0.5, 1e-9);
  const auto peak2 = std::max_element(p.intensity.begin() + static_cast<std::ptrdiff_t>(middle), p.intensity.end()) -
                     p.intensity.begin();
  EXPECT_NEAR(p.twoTheta[static_cast<std::size_t>(peak2)], second, 0.0006);
  const auto peak1 = std::max_element(p.intensity.begin(), p.intensity.begin() + static_cast<std::ptrdiff_t>(middle)) -
                     p.intensity.begin();
  EXPECT_NEAR(p.twoTheta[static_cast<std::size_t>(peak1)], 140.0, 0.0006);

  // A zero shift moves both components by the same angle, keeping their areas.
  o.zeroShift = 0.25;
  const Profile shifted = ComputeProfile({Line(140.0, 90.0, d)}, o);
  ASSERT_EQ(shifted.error, "");
  const auto shift = static_cast<std::size_t>(std::lround(0.25 / o.step));
  const auto top1 = std::max_element(shifted.intensity.begin(), shifted.intensity.begin() + static_cast<std::ptrdiff_t>(middle + shift)) -
                    shifted.intensity.begin();
  EXPECT_NEAR(shifted.twoTheta[static_cast<std::size_t>(top1)], 140.25, 0.0006);
  EXPECT_NEAR(Area(shifted, middle + shift, shifted.intensity.size(), o.step), a2, 1e-6);
  o.zeroShift = 12.0;
  EXPECT_NE(ComputeProfile({Line(140.0, 90.0, d)}, o).error.find("zero shift 12"), std::string::npos);
}

TEST(PowderProfile, CagliotiWidthAndRejectedOptions) {
  // U tan^2 + V tan + W at 2theta = 90 (tan 45 = 1): 0.04 - 0.02 + 0.01 = 0.03.
  EXPECT_NEAR(CagliotiWidth(0.04, -0.02, 0.01, 90.0), std::sqrt(0.03), 1e-12);
  EXPECT_TRUE(std::isnan(CagliotiWidth(0.0, -0.02, 0.01, 90.0)));

  ProfileOptions o;
  o.twoThetaMin = 10.0;
  o.twoThetaMax = 100.0;
  o.v = -0.02;  // width^2 = 0.01 - 0.02 tan(theta): negative above 2theta = 53.1
  const Profile bad = ComputeProfile({Line(20.0, 1.0), Line(90.0, 1.0)}, o);
  EXPECT_NE(bad.error.find("2theta = 90.0000"), std::string::npos) << bad.error;
  EXPECT_TRUE(bad.intensity.empty());
  // Lines outside the range need no width.
  o.twoThetaMax = 40.0;
  EXPECT_EQ(ComputeProfile({Line(20.0, 1.0), Line(90.0, 1.0)}, o).error, "");

  const auto problem = [](auto change) {
    ProfileOptions p;
    change(p);
    return CheckProfileOptions(p);
  };
  EXPECT_EQ(problem([](ProfileOptions&) {}), "");
  EXPECT_NE(problem([](ProfileOptions& p) { p.step = 0.0; }).find("step"), std::string::npos);
  EXPECT_NE(problem([](ProfileOptions& p) { p.step = 1e-9; }).find("points"), std::string::npos);
  EXPECT_NE(problem([](ProfileOptions& p) { p.twoThetaMax = 1.0; }).find("maximum"), std::string::npos);
  EXPECT_NE(problem([](ProfileOptions& p) { p.twoThetaMin = 0.0; }).find("minimum"), std::string::npos);
  EXPECT_NE(problem([](ProfileOptions& p) { p.eta = 1.5; }).find("eta"), std::string::npos);
  EXPECT_NE(problem([](ProfileOptions& p) { p.cutWidths = 0.5; }).find("cut"), std::string::npos);
  EXPECT_NE(problem([](ProfileOptions& p) { p.w = std::nan(""); }).find("Caglioti"), std::string::npos);
  // Widths of thousands of degrees are no powder pattern: refused before any work.
  EXPECT_EQ(problem([](ProfileOptions& p) { p.u = 1e12; }), "Caglioti U 1e+12 is not within 100 degrees^2 of 0");
  EXPECT_EQ(problem([](ProfileOptions& p) { p.v = -1e30; }), "Caglioti V -1e+30 is not within 100 degrees^2 of 0");
  EXPECT_EQ(problem([](ProfileOptions& p) { p.w = 1e300; }), "Caglioti W 1e+300 is not within 100 degrees^2 of 0");
  EXPECT_EQ(problem([](ProfileOptions& p) { p.u = 100.0; p.v = -100.0; p.w = 100.0; }), "");
  EXPECT_NE(problem([](ProfileOptions& p) { p.doublet = std::array<double, 2>{1.5, -1.0}; }).find("doublet"),
            std::string::npos);
}

// Near 2theta = 180 the Caglioti width grows without bound (tan theta): a peak
// there can be millions of degrees wide. Only its part in the range is sampled;
// it keeps the height the closed form gives for a peak of unit area cut at
// cutWidths FWHM: I pV(x) / (eta (2/pi) atan(2 cut) + (1 - eta) erf(2 sqrt(ln 2) cut)).
TEST(PowderProfile, PeaksWiderThanTheRangeAreClippedToIt) {
  ProfileOptions o;
  o.twoThetaMin = 170.0;
  o.twoThetaMax = 179.99;
  o.step = 0.001;
  o.u = 100.0;
  o.w = 0.01;
  o.eta = 0.3;
  const PowderLine line = Line(179.999, 50.0);
  const double h = CagliotiWidth(o.u, o.v, o.w, line.twoTheta);
  ASSERT_GT(h * o.cutWidths / o.step, 1e10);  // a window the old sampling could not hold
  const Profile p = ComputeProfile({line}, o);
  ASSERT_EQ(p.error, "");
  const double cutArea = o.eta * 2.0 / std::numbers::pi * std::atan(2.0 * o.cutWidths) +
                         (1.0 - o.eta) * std::erf(2.0 * std::sqrt(std::log(2.0)) * o.cutWidths);
  for (std::size_t i : {std::size_t{0}, p.twoTheta.size() / 2, p.twoTheta.size() - 1}) {
    const double expected = line.intensity * PseudoVoigt(p.twoTheta[i] - line.twoTheta, h, o.eta) / cutArea;
    EXPECT_NEAR(p.intensity[i], expected, 1e-6 * expected) << p.twoTheta[i];
  }
  // A narrow peak just inside the range still has all of its area.
  o.u = 0.0;
  const Profile narrow = ComputeProfile({Line(175.0, 50.0)}, o);
  EXPECT_NEAR(Area(narrow, 0, narrow.intensity.size(), o.step), 50.0, 1e-9);
}

}  // namespace
}  // namespace lumora
