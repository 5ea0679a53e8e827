#include "powder/cell_search.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

#include "powder/powder_lines.hpp"

namespace lumora {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
// The denominator is summed exactly every this many bins of a row and
// interpolated between: it changes slowly with u.
constexpr int kDenominatorEvery = 32;
// The window about each peak, in kernels, whose lines give the weight that
// lines of that density put into the kernel by chance.
constexpr double kWideKernels = 6.0;
// The coarse pass scores with the lines of at least this fraction of the
// strongest line's strength: the weaker ones hardly change where the promising
// regions are, and they are most of the lines.
constexpr double kCoarseStrength = 0.03;
// A box of at most this many fine grid points is searched whole at the fine step.
constexpr double kWholeBoxPoints = 40000.0;

struct Line {
  double axy, az, strength;
};

struct Peak {
  double lnQ;     // ln q at the pass's zero shift
  double half;    // the kernel's half-width in ln q
  double weight;  // p_k LP_k
};

// The best few grid points, none within two steps of a better one.
class BestPoints {
 public:
  BestPoints(std::size_t keep, double uReach, double rhoReach, double zeroReach = 1e300)
      : keep_(keep), uReach_(uReach), rhoReach_(rhoReach), zeroReach_(zeroReach) {}

  void Offer(double u, double rho, double zero, double score) {
    if (!(score > 0.0) || (points_.size() >= keep_ && score <= points_.back().score)) return;
    for (std::size_t i = 0; i < points_.size(); ++i) {
      if (std::fabs(points_[i].u - u) > uReach_ || std::fabs(points_[i].rho - rho) > rhoReach_ ||
          std::fabs(points_[i].zero - zero) >= zeroReach_)
        continue;
      if (points_[i].score >= score) return;
      points_.erase(points_.begin() + static_cast<std::ptrdiff_t>(i));
      --i;
    }
    const Point p{u, rho, zero, score};
    points_.insert(std::upper_bound(points_.begin(), points_.end(), p,
                                    [](const Point& l, const Point& r) { return l.score > r.score; }),
                   p);
    if (points_.size() > keep_) points_.pop_back();
  }

  struct Point {
    double u, rho, zero, score;
  };
  const std::vector<Point>& points() const { return points_; }

 private:
  std::size_t keep_;
  double uReach_, rhoReach_, zeroReach_;
  std::vector<Point> points_;
};

class Screen {
 public:
  Screen(const std::vector<ScalableLine>& lines, const std::vector<ObservedPeak>& peaks,
         const std::vector<double>& shares, const WavelengthSetup& setup, const CellBox& box,
         const ScreenOptions& options)
      : setup_(setup), box_(box), options_(options) {
    for (const ScalableLine& l : lines)
      if (l.strength > 0.0) {
        lines_.push_back({l.axy, box.hasC ? l.az : 0.0, l.strength});
        strongest_ = std::max(strongest_, l.strength);
      }
    // The strongest peaks score; equal shares keep the lowest angles.
    std::vector<std::size_t> order(peaks.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t l, std::size_t r) { return shares[l] > shares[r]; });
    order.resize(std::min<std::size_t>(order.size(), static_cast<std::size_t>(std::max(options.screeningPeaks, 1))));
    for (std::size_t k : order) {
      twoTheta_.push_back(peaks[k].twoTheta);
      share_.push_back(shares[k]);
    }
    TabulateLp();
  }

  // The scoring peaks at a zero shift, with a kernel reaching half degrees 2 theta either side.
  std::vector<Peak> Peaks(double half, double zero) const {
    std::vector<Peak> peaks;
    const bool doublet = setup_.model == WavelengthModel::Doublet;
    const double spread = doublet ? 2.0 * (setup_.kAlpha2 - setup_.kAlpha1) / setup_.kAlpha1 / kDegree : 0.0;
    for (std::size_t k = 0; k < twoTheta_.size(); ++k) {
      const double theta = 0.5 * (twoTheta_[k] - zero) * kDegree;
      if (!(theta > 0.0 && theta < 0.5 * std::numbers::pi)) continue;
      // An unresolved doublet's peak sits at the blend's wavelength.
      const bool blend = doublet && spread * std::tan(theta) < kBlendWidths * options_.fwhm;
      const double lambda = blend ? ComponentWavelength(setup_, StickComponent::Blend) : setup_.kAlpha1;
      peaks.push_back({std::log(2.0 * std::sin(theta) / lambda), half * kDegree / (2.0 * std::tan(theta)),
                       share_[k] * LorentzPolarisation(2.0 * theta / kDegree, options_.monochromatorTwoTheta)});
    }
    return peaks;
  }

  // The grid step in u and rho: half the narrowest kernel in ln q.
  double Step(double half, double zero) const {
    double smallest = 1e300;
    for (const Peak& p : Peaks(half, zero)) smallest = std::min(smallest, p.half);
    return 0.5 * smallest;
  }

  // One pass over the region (u in [u0, u1], rho in [r0, r1]) on a grid of
  // the given step with the kernel reaching half degrees 2 theta either side,
  // at the zero shift zero.
  void Pass(double u0, double u1, double r0, double r1, double half, double zero, double step, double minStrength,
            BestPoints& best) {
    const double lambda = setup_.kAlpha1;
    const std::vector<Peak> peaks = Peaks(half, zero);
    if (peaks.empty() || !(step > 0.0) || !std::isfinite(step)) return;
    // The measured range in ln q, where the lines' intensities count.
    auto lnQAt = [&](double twoTheta) {
      const double theta = std::clamp(0.5 * (twoTheta - zero), 1e-6, 89.999999) * kDegree;
      return std::log(2.0 * std::sin(theta) / lambda);
    };
    const double wLow = lnQAt(options_.measuredLow), wHigh = lnQAt(options_.measuredHigh);
    const double vLow = std::log(box_.cLow), vHigh = std::log(box_.cHigh);
    const bool cFixed = box_.hasC && box_.cLow == box_.cHigh;

    // Lines that can reach the measured range anywhere in the region.
    std::vector<Line> lines;
    for (const Line& l : lines_) {
      if (l.strength < minStrength * strongest_) continue;
      const double gA = G(l, r0), gB = G(l, r1);
      if (std::max(gA, gB) - u0 >= wLow && std::min(gA, gB) - u1 <= wHigh) lines.push_back(l);
    }
    if (lines.empty()) return;
    std::vector<double> g(lines.size());
    std::vector<std::size_t> order(lines.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::vector<double> sorted(lines.size());

    const int bins = std::max(1, static_cast<int>(std::floor((u1 - u0) / step + 1e-9)) + 1);
    const int rows = !box_.hasC ? 1 : cFixed ? bins : std::max(1, static_cast<int>(std::floor((r1 - r0) / step + 1e-9)) + 1);
    std::vector<double> numerator(static_cast<std::size_t>(bins) + 1), denominator(static_cast<std::size_t>(bins));
    for (int row = 0; row < rows; ++row) {
      if (options_.cancel && options_.cancel->load(std::memory_order_relaxed)) return;
      // The row's rho and its bins of u inside the box of (u, v = u + rho).
      double rho = r0 + row * step;
      int first = 0, last = bins - 1;
      if (cFixed) {
        first = last = row;
        rho = vLow - (u0 + row * step);
      } else if (box_.hasC) {
        first = std::max(0, static_cast<int>(std::ceil((vLow - rho - u0) / step - 1e-9)));
        last = std::min(bins - 1, static_cast<int>(std::floor((vHigh - rho - u0) / step + 1e-9)));
      }
      if (first > last) continue;
      for (std::size_t j = 0; j < lines.size(); ++j) g[j] = G(lines[j], rho);
      std::sort(order.begin(), order.end(), [&g](std::size_t l, std::size_t r) { return g[l] < g[r]; });
      for (std::size_t i = 0; i < order.size(); ++i) sorted[i] = g[order[i]];

      // Each line near a peak adds its weight over the kernel, less the share
      // a line spread evenly over the wide window would put there.
      std::fill(numerator.begin(), numerator.end(), 0.0);
      const double uFirst = u0 + first * step, uLast = u0 + last * step;
      auto add = [&](double centre, double reach, double value) {
        const int lo = std::max(first, static_cast<int>(std::ceil((centre - reach - u0) / step)));
        const int hi = std::min(last, static_cast<int>(std::floor((centre + reach - u0) / step)));
        if (lo > hi) return;
        numerator[static_cast<std::size_t>(lo)] += value;
        numerator[static_cast<std::size_t>(hi) + 1] -= value;
      };
      for (const Peak& p : peaks) {
        const double wide = kWideKernels * p.half;
        const auto from = std::lower_bound(sorted.begin(), sorted.end(), p.lnQ + uFirst - wide) - sorted.begin();
        for (auto i = static_cast<std::size_t>(from); i < sorted.size() && sorted[i] <= p.lnQ + uLast + wide; ++i) {
          const double centre = sorted[i] - p.lnQ;  // the u that puts the line on the peak
          const double value = p.weight * lines[order[i]].strength;
          add(centre, p.half, value);
          add(centre, wide, -value / kWideKernels);
        }
      }
      for (int b = first + 1; b <= last; ++b)
        numerator[static_cast<std::size_t>(b)] += numerator[static_cast<std::size_t>(b) - 1];

      // The denominator at every kDenominatorEvery-th bin and the last, linear between.
      int previous = -1;
      for (int b = first;; b = std::min(b + kDenominatorEvery, last)) {
        denominator[static_cast<std::size_t>(b)] = SumOfSquares(sorted, order, lines, u0 + b * step, wLow, wHigh);
        if (previous >= 0)
          for (int m = previous + 1; m < b; ++m) {
            const double t = static_cast<double>(m - previous) / (b - previous);
            denominator[static_cast<std::size_t>(m)] =
                (1 - t) * denominator[static_cast<std::size_t>(previous)] + t * denominator[static_cast<std::size_t>(b)];
          }
        previous = b;
        if (b == last) break;
      }
      auto score = [&](int b) {
        const double d = denominator[static_cast<std::size_t>(b)];
        return d > 0.0 ? numerator[static_cast<std::size_t>(b)] / std::sqrt(d) : 0.0;
      };
      for (int b = first; b <= last; ++b) {
        const double s = score(b);
        if ((b > first && score(b - 1) > s) || (b < last && score(b + 1) >= s)) continue;
        best.Offer(u0 + b * step, rho, zero, s);
      }
    }
  }

 private:
  static double G(const Line& l, double rho) { return 0.5 * std::log(l.axy + l.az * std::exp(-2.0 * rho)); }

  // sum of (s_j LP_j)^2 over the lines in the measured range at u.
  double SumOfSquares(const std::vector<double>& sorted, const std::vector<std::size_t>& order,
                      const std::vector<Line>& lines, double u, double wLow, double wHigh) const {
    const auto from = std::lower_bound(sorted.begin(), sorted.end(), wLow + u) - sorted.begin();
    double sum = 0.0;
    for (auto i = static_cast<std::size_t>(from); i < sorted.size() && sorted[i] <= wHigh + u; ++i) {
      const double value = lines[order[i]].strength * Lp(sorted[i] - u);
      sum += value * value;
    }
    return sum;
  }

  // LP of the line at ln q = x (the Bragg angle at the wavelength), from a
  // table linear in x over the lines' reach; 0 beyond 2 theta = 180.
  double Lp(double x) const {
    const double at = (x - lpFrom_) / lpStep_;
    if (!(at >= 0.0)) return lp_.front();
    const auto i = static_cast<std::size_t>(at);
    if (i + 1 >= lp_.size()) return lp_.back();
    const double t = at - static_cast<double>(i);
    return (1.0 - t) * lp_[i] + t * lp_[i + 1];
  }

  void TabulateLp() {
    // ln q from 2 theta = 0.1 degree up to the limiting sphere.
    const double lambda = setup_.kAlpha1;
    lpFrom_ = std::log(2.0 * std::sin(0.05 * kDegree) / lambda);
    const double to = std::log(2.0 / lambda);
    constexpr std::size_t kPoints = 8192;
    lpStep_ = (to - lpFrom_) / static_cast<double>(kPoints - 1);
    lp_.resize(kPoints);
    for (std::size_t i = 0; i < kPoints; ++i) {
      const double s = 0.5 * lambda * std::exp(lpFrom_ + lpStep_ * static_cast<double>(i));
      const double value = s < 1.0 ? LorentzPolarisation(2.0 * std::asin(s) / kDegree, options_.monochromatorTwoTheta) : 0.0;
      lp_[i] = std::isfinite(value) ? value : 0.0;
    }
  }

  std::vector<double> lp_;
  double lpFrom_ = 0.0, lpStep_ = 1.0;

  WavelengthSetup setup_;
  CellBox box_;
  ScreenOptions options_;
  std::vector<Line> lines_;
  double strongest_ = 0.0;
  std::vector<double> twoTheta_, share_;
};

}  // namespace

std::vector<CellStart> ScreenCells(const std::vector<ScalableLine>& lines, const std::vector<ObservedPeak>& peaks,
                                   const std::vector<double>& peakShares, const WavelengthSetup& setup,
                                   const CellBox& box, const ScreenOptions& options) {
  std::vector<CellStart> starts;
  if (peaks.empty() || lines.empty() || !(setup.kAlpha1 > 0.0)) return starts;
  Screen screen(lines, peaks, peakShares, setup, box, options);
  const double u0 = std::log(box.aLow), u1 = std::log(box.aHigh);
  const double r0 = box.hasC ? std::log(box.cLow / box.aHigh) : 0.0;
  const double r1 = box.hasC ? std::log(box.cHigh / box.aLow) : 0.0;
  const double zeroHalf = 0.5 * (box.zeroHigh - box.zeroLow), zeroMid = 0.5 * (box.zeroHigh + box.zeroLow);

  // Coarse: a kernel of four tolerances and the zero shift's half range.
  const double tolerance = options.tolerance;
  const double coarseHalf = 4.0 * tolerance + zeroHalf;
  const double coarseStep = screen.Step(coarseHalf, zeroMid);
  const auto keep = static_cast<std::size_t>(std::max(options.starts, 1));
  // Coarse points far enough apart that their fine windows hardly overlap.
  BestPoints coarse(keep, 3.0 * coarseStep, 3.0 * coarseStep);
  screen.Pass(u0, u1, r0, r1, coarseHalf, zeroMid, coarseStep, kCoarseStrength, coarse);
  if (options.cancel && options.cancel->load()) return starts;

  // Fine: about each coarse point (or over the whole of a small box), the
  // kernel of 1.25 tolerances and the zero shift in steps of half a tolerance.
  const double fineHalf = 1.25 * tolerance;
  const double fineStep = screen.Step(fineHalf, zeroMid);
  const int zeroSteps = zeroHalf > 0.0 ? static_cast<int>(std::ceil(4.0 * zeroHalf / tolerance)) : 0;
  // Points of one cell with zero shifts half a tolerance apart are kept apart:
  // the refinement of a rough cell finds the zero shift only from near it.
  BestPoints fine(keep, 2.0 * fineStep, 2.0 * fineStep, 0.5 * tolerance);
  if ((u1 - u0 + fineStep) * (r1 - r0 + fineStep) <= kWholeBoxPoints * fineStep * fineStep) {
    // A small box: the zero shift in quarter tolerances.
    const int steps = 2 * zeroSteps;
    for (int z = 0; z <= steps; ++z) {
      const double zero = steps == 0 ? zeroMid : box.zeroLow + (box.zeroHigh - box.zeroLow) * z / steps;
      screen.Pass(u0, u1, r0, r1, fineHalf, zero, fineStep, 0.0, fine);
    }
    coarse = BestPoints(keep, 0.0, 0.0);
  }
  for (const auto& point : coarse.points()) {
    const double reach = 2.0 * coarseStep;
    const double ua = std::max(u0, point.u - reach), ub = std::min(u1, point.u + reach);
    const double ra = box.hasC ? std::max(r0, point.rho - reach) : 0.0;
    const double rb = box.hasC ? std::min(r1, point.rho + reach) : 0.0;
    for (int z = 0; z <= zeroSteps; ++z) {
      const double zero = zeroSteps == 0 ? zeroMid : box.zeroLow + (box.zeroHigh - box.zeroLow) * z / zeroSteps;
      screen.Pass(ua, ub, ra, rb, fineHalf, zero, fineStep, 0.0, fine);
      if (options.cancel && options.cancel->load()) return starts;
    }
  }
  for (const auto& p : fine.points())
    starts.push_back({std::exp(p.u), box.hasC ? std::exp(p.u + p.rho) : box.cLow, p.zero, p.score, fineStep});
  return starts;
}

}  // namespace lumora
