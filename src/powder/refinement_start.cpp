#include "powder/refinement_start.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lumora {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

struct Peak {
  double lnQ;            // observed ln q
  double degreesPerLn;   // d(2 theta)/d(ln q) in degrees
};

class Grid {
 public:
  Grid(const std::vector<ScalableLine>& lines, const std::vector<Peak>& peaks, double a0, double c0, bool hasC,
       double lnQLow, double lnQHigh)
      : lines_(lines), peaks_(peaks), a0_(a0), c0_(c0), hasC_(hasC), low_(lnQLow), high_(lnQHigh) {}

  // The cost at (alpha, beta) with the given tolerance.
  double cost(double alpha, double beta, double tolerance) {
    if (!sorted_ || beta != beta_) sortFor(beta);
    double sum = 0.0;
    for (const Peak& peak : peaks_) {
      const double target = peak.lnQ + alpha;
      const auto at = std::lower_bound(lnQ_.begin(), lnQ_.end(), target);
      double nearest = 1e300;
      if (at != lnQ_.end()) nearest = *at - target;
      if (at != lnQ_.begin() && target - *(at - 1) < std::fabs(nearest)) nearest = target - *(at - 1);
      const double miss = std::min(std::fabs(nearest) * peak.degreesPerLn / tolerance, 1.0);
      sum += miss * miss;
    }
    return sum;
  }

 private:
  void sortFor(double beta) {
    lnQ_.clear();
    const double zScale = std::exp(-2.0 * beta) / (c0_ * c0_);
    for (const ScalableLine& line : lines_) {
      const double q2 = line.axy / (a0_ * a0_) + (hasC_ ? line.az * zScale : 0.0);
      if (!(q2 > 0.0)) continue;
      const double lnQ = 0.5 * std::log(q2);
      if (lnQ >= low_ && lnQ <= high_) lnQ_.push_back(lnQ);
    }
    std::sort(lnQ_.begin(), lnQ_.end());
    beta_ = beta;
    sorted_ = true;
  }

  const std::vector<ScalableLine>& lines_;
  const std::vector<Peak>& peaks_;
  double a0_, c0_;
  bool hasC_;
  double low_, high_;
  std::vector<double> lnQ_;
  double beta_ = 0.0;
  bool sorted_ = false;
};

struct Point {
  double alpha = 0.0, beta = 0.0, cost = 1e300;
};

// Scans alpha (and beta) on a grid of the given step around a centre and keeps
// the best few points; ties go to the point nearer the given start.
std::vector<Point> Scan(Grid& grid, const StartSearch& search, Point centre, double reach, double step,
                        double tolerance, std::size_t keep) {
  const int n = static_cast<int>(std::ceil(reach / step));
  const bool coupled = search.hasC && search.searchA && !search.searchC;  // c stays: beta = -alpha
  const int nAlpha = search.searchA ? n : 0;
  const int nBeta = search.searchC ? n : 0;
  std::vector<Point> best;
  auto consider = [&](double alpha, double beta) {
    const Point p{alpha, beta, grid.cost(alpha, beta, tolerance)};
    const double distance = std::fabs(alpha) + std::fabs(beta);
    auto better = [&](const Point& q) {
      return p.cost < q.cost - 1e-12 ||
             (p.cost <= q.cost + 1e-12 && distance < std::fabs(q.alpha) + std::fabs(q.beta));
    };
    const auto at = std::find_if(best.begin(), best.end(), better);
    if (at == best.end() && best.size() >= keep) return;
    best.insert(at, p);
    if (best.size() > keep) best.pop_back();
  };
  for (int j = -nBeta; j <= nBeta; ++j)
    for (int i = -nAlpha; i <= nAlpha; ++i) {
      const double alpha = centre.alpha + i * step;
      const double beta = coupled ? -alpha : centre.beta + j * step;
      consider(alpha, beta);
    }
  return best;
}

}  // namespace

StartFound FindRefinementStart(const std::vector<ScalableLine>& lines, const std::vector<double>& observed,
                               double wavelength, double a0, double c0, double zero, const StartSearch& search) {
  StartFound found{a0, c0, 0.0, 0.0};
  std::vector<Peak> peaks;
  double tanMax = 0.0;
  for (const double t : observed) {
    const double theta = (t - zero) / 2.0 * kDegree;
    if (!(theta > 0.0 && theta < 90.0 * kDegree)) continue;
    peaks.push_back({std::log(2.0 * std::sin(theta) / wavelength), 2.0 * std::tan(theta) / kDegree});
    tanMax = std::max(tanMax, std::tan(theta));
  }
  if (peaks.empty() || !(search.tolerance > 0.0)) return found;
  // Lines outside the observed q range widened by the search's reach never come near a peak.
  const double margin = 2.5 * search.range + 0.01;
  const auto [lowPeak, highPeak] = std::minmax_element(peaks.begin(), peaks.end(),
                                                       [](const Peak& l, const Peak& r) { return l.lnQ < r.lnQ; });
  Grid grid(lines, peaks, a0, c0, search.hasC, lowPeak->lnQ - margin, highPeak->lnQ + margin);
  found.givenCost = grid.cost(0.0, 0.0, search.tolerance);
  found.cost = found.givenCost;
  if (!(search.searchA || (search.searchC && search.hasC)) || !(search.range > 0.0)) return found;
  StartSearch s = search;
  s.searchC = search.searchC && search.hasC;

  // The fine step keeps the highest peak within a third of the tolerance of
  // where it would be at the best grid point; a coarse pass at four times the
  // step and the tolerance first, then a fine pass around its best points.
  // The grid is capped so that a tiny tolerance cannot make it endless.
  const double wanted = search.tolerance / (3.0 * 2.0 * tanMax / kDegree);
  const double coarse = std::max(4.0 * wanted, search.range / (s.searchA && s.searchC ? 50.0 : 200.0));
  const double fine = coarse / 4.0;
  const std::vector<Point> candidates = Scan(grid, s, {}, search.range, coarse, 4.0 * search.tolerance, 3);
  Point best{0.0, 0.0, found.givenCost};
  for (const Point& candidate : candidates) {
    const std::vector<Point> refined = Scan(grid, s, candidate, 2.0 * coarse, fine, search.tolerance, 1);
    if (!refined.empty() && refined.front().cost < best.cost - 1e-12) best = refined.front();
  }
  found.cost = best.cost;
  found.a = a0 * std::exp(best.alpha);
  found.c = search.hasC ? c0 * std::exp(best.alpha + best.beta) : c0;
  return found;
}

}  // namespace lumora
