#include "powder/indexing_figures.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lumora {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
// Pairs further apart than this many tolerances add less than 1e-9.
constexpr double kReach = 3.0;

// sum over pairs of positions (both ascending) of u_i v_j w_ij.
template <class A, class B, class PosA, class PosB, class WeightA, class WeightB>
double Overlap(const std::vector<A>& a, const std::vector<B>& b, PosA posA, PosB posB, WeightA weightA,
               WeightB weightB, double tolerance) {
  double sum = 0.0;
  std::size_t from = 0;
  for (const A& x : a) {
    const double t = posA(x);
    while (from < b.size() && posB(b[from]) < t - kReach * tolerance) ++from;
    for (std::size_t j = from; j < b.size() && posB(b[j]) <= t + kReach * tolerance; ++j)
      sum += weightA(x) * weightB(b[j]) * Closeness(posB(b[j]) - t, tolerance);
  }
  return sum;
}

}  // namespace

std::vector<double> PeakShares(const std::vector<ObservedPeak>& peaks) {
  double total = 0.0;
  for (const ObservedPeak& p : peaks) total += std::max(p.intensity, 0.0);
  std::vector<double> shares(peaks.size(), peaks.empty() ? 0.0 : 1.0 / static_cast<double>(peaks.size()));
  if (total > 0.0)
    for (std::size_t k = 0; k < peaks.size(); ++k) shares[k] = std::max(peaks[k].intensity, 0.0) / total;
  return shares;
}

double ObservableShare(const std::vector<double>& peakShares) {
  double weakest = 1.0;
  for (double p : peakShares)
    if (p > 0.0) weakest = std::min(weakest, p);
  return kObservableShare * weakest;
}

double IntensityMatch(const std::vector<ObservedPeak>& peaks, const std::vector<double>& peakShares,
                      const std::vector<Stick>& sticks, double tolerance) {
  struct Point {
    double at, weight;
  };
  std::vector<Point> observed, calculated;
  for (std::size_t k = 0; k < peaks.size(); ++k) observed.push_back({peaks[k].twoTheta, peakShares[k]});
  for (const Stick& s : sticks)
    if (s.intensity) calculated.push_back({s.twoTheta, s.share});
  const auto at = [](const Point& p) { return p.at; };
  const auto weight = [](const Point& p) { return p.weight; };
  const double cross = Overlap(observed, calculated, at, at, weight, weight, tolerance);
  const double self = Overlap(observed, observed, at, at, weight, weight, tolerance) *
                      Overlap(calculated, calculated, at, at, weight, weight, tolerance);
  return self > 0.0 ? cross / std::sqrt(self) : 0.0;
}

IndexingFigures ComputeFigures(const std::vector<ObservedPeak>& peaks, const std::vector<double>& peakShares,
                               const std::vector<Stick>& sticks, const std::vector<PeakMatch>& matches,
                               const std::vector<ScalableLine>& lines, double a, double c, double zero,
                               const WavelengthSetup& setup, double tolerance) {
  IndexingFigures f;
  if (peaks.empty()) return f;
  f.match = IntensityMatch(peaks, peakShares, sticks, tolerance);
  const double minShare = ObservableShare(peakShares);
  auto observableLine = [&](const Stick& s) { return s.component == StickComponent::KAlpha1 && s.share >= minShare; };

  // F(N).
  const double last = peaks.back().twoTheta;
  double sum = 0.0;
  for (std::size_t k = 0; k < peaks.size(); ++k)
    sum += matches[k].stick >= 0 ? std::fabs(peaks[k].twoTheta - sticks[static_cast<std::size_t>(matches[k].stick)].twoTheta)
                                 : tolerance;
  f.meanDifference = std::max(sum / static_cast<double>(peaks.size()), 1e-6);
  f.possibleLines = static_cast<int>(
      std::count_if(sticks.begin(), sticks.end(), [&](const Stick& s) { return observableLine(s) && s.twoTheta <= last; }));
  f.fN = static_cast<double>(peaks.size()) / static_cast<double>(std::max(f.possibleLines, 1)) / f.meanDifference;
  f.merit = f.match * f.fN;

  // M(20).
  const std::size_t n = std::min<std::size_t>(20, peaks.size());
  auto observedQ = [&](double twoTheta, double wavelength) {
    const double s = 2.0 * std::sin(0.5 * (twoTheta - zero) * kDegree) / wavelength;
    return s * s;
  };
  double epsilon = 0.0;
  for (std::size_t k = 0; k < n; ++k) {
    if (matches[k].stick >= 0) {
      const Stick& s = sticks[static_cast<std::size_t>(matches[k].stick)];
      const double q = LineQ(lines[static_cast<std::size_t>(s.line)], a, c);
      epsilon += std::fabs(observedQ(peaks[k].twoTheta, ComponentWavelength(setup, s.component)) - q * q);
    } else {
      const double theta = 0.5 * (peaks[k].twoTheta - zero) * kDegree;
      epsilon += observedQ(peaks[k].twoTheta, setup.kAlpha1) / std::tan(theta) * tolerance * kDegree;
    }
  }
  epsilon = std::max(epsilon / static_cast<double>(n), 1e-12);
  const double q20 = observedQ(peaks[n - 1].twoTheta, setup.kAlpha1);
  for (const Stick& s : sticks)
    if (observableLine(s)) {
      const double q = LineQ(lines[static_cast<std::size_t>(s.line)], a, c);
      if (q * q <= q20 * (1.0 + 1e-12)) ++f.m20Lines;
    }
  f.m20Peaks = static_cast<int>(n);
  f.m20 = q20 / (2.0 * epsilon * static_cast<double>(std::max(f.m20Lines, 1)));
  return f;
}

}  // namespace lumora
