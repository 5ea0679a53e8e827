#include "powder/powder_refinement.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/number_text.hpp"
#include "powder/indexing_figures.hpp"
#include "common/least_squares.hpp"

namespace lumora {
namespace {

// Indexing and refinement alternate at most this often before giving up.
constexpr int kMaxIndexingRounds = 10;
// Outliers are looked for again at most this often.
constexpr int kMaxOutlierRounds = 3;
constexpr double kDegree = std::numbers::pi / 180.0;

enum Parameter { kA = 0, kC = 1, kZero = 2 };
constexpr const char* kParameterNames[] = {"a", "c", "zero"};

struct State {
  double a = 0.0, c = 0.0, zero = 0.0;
  double& operator[](int k) { return k == kA ? a : k == kC ? c : zero; }
  double operator[](int k) const { return k == kA ? a : k == kC ? c : zero; }
};

std::string Undetermined(int parameter) {
  return std::string(kSingularError) + kParameterNames[parameter] + " is not determined by the indexed peaks" +
         (parameter == kC ? " (no indexed line has a z component)" : "");
}

class Fit {
 public:
  Fit(const std::vector<ScalableLine>& lines, const std::vector<ObservedPeak>& peaks, const std::vector<double>& shares,
      const WavelengthSetup& setup, const RefineSettings& settings)
      : lines_(lines), peaks_(peaks), shares_(shares), setup_(setup), settings_(settings) {
    if (settings.refineA) free_.push_back(kA);
    if (settings.refineC && settings.hasC) free_.push_back(kC);
    if (settings.refineZero) free_.push_back(kZero);
    minShare_ = ObservableShare(shares);
    width_ = settings.tolerance;
  }

  const std::vector<int>& free() const { return free_; }

  // Keeps the zero shift where it is (hold) or refines it again.
  void HoldZero(bool hold) {
    free_.erase(std::remove(free_.begin(), free_.end(), static_cast<int>(kZero)), free_.end());
    if (!hold && settings_.refineZero) free_.push_back(kZero);
  }

  // Sticks and matches at s.
  void Index(const State& s, std::vector<Stick>& sticks, std::vector<PeakMatch>& matches) const {
    sticks = MakeSticks(lines_, s.a, s.c, s.zero, setup_, settings_.low, settings_.high, settings_.fwhm,
                        settings_.monochromatorTwoTheta);
    matches = MatchPeaks(peaks_, sticks, settings_.tolerance, minShare_, width_);
  }

  // How far peaks may lie from their lines: a few times the scatter of the
  // fitted residuals, from a twentieth of the tolerance to all of it.
  void Narrow(const std::vector<Stick>& sticks, const std::vector<PeakMatch>& matches, const std::vector<bool>& chosen,
              const State& s) {
    std::vector<double> misses;
    for (std::size_t k = 0; k < matches.size(); ++k)
      if (chosen[k])
        misses.push_back(std::fabs(peaks_[k].twoTheta - Position(sticks[static_cast<std::size_t>(matches[k].stick)], s)));
    if (misses.empty()) return;
    const auto middle = misses.begin() + static_cast<std::ptrdiff_t>(misses.size() / 2);
    std::nth_element(misses.begin(), middle, misses.end());
    width_ = std::clamp(3.0 * 1.4826 * *middle, 0.05 * settings_.tolerance, settings_.tolerance);
  }

  // The peaks the least squares uses: the indexed ones up to limit (degrees)
  // and not left out that are unambiguous (and, with cleanOnly, have a clean
  // position, line_sticks.hpp), while at least P + 2 of them remain; else
  // every indexed one up to limit and not left out.
  std::vector<bool> Chosen(const std::vector<Stick>& sticks, const std::vector<PeakMatch>& matches, double limit,
                           const std::vector<bool>& leftOut, bool cleanOnly) const {
    std::vector<bool> clean(matches.size(), false), indexed(matches.size(), false);
    std::size_t count = 0;
    for (std::size_t k = 0; k < matches.size(); ++k) {
      indexed[k] = matches[k].stick >= 0 && peaks_[k].twoTheta <= limit && !leftOut[k];
      clean[k] = indexed[k] && !matches[k].ambiguous &&
                 (!cleanOnly || sticks[static_cast<std::size_t>(matches[k].stick)].fitted);
      count += clean[k];
    }
    return count >= free_.size() + 2 ? clean : indexed;
  }

  double Position(const Stick& stick, const State& s) const {
    const double lambda = ComponentWavelength(setup_, stick.component);
    return LineTwoTheta(lines_[static_cast<std::size_t>(stick.line)], s.a, s.c, lambda) + s.zero;
  }

  // Jacobian and residuals obs - calc of the chosen peaks at s.
  void Linearise(const std::vector<Stick>& sticks, const std::vector<PeakMatch>& matches, const std::vector<bool>& chosen,
                 const State& s, Eigen::MatrixXd& jacobian, Eigen::VectorXd& residuals) const {
    std::size_t n = 0;
    for (bool c : chosen) n += c;
    jacobian.resize(static_cast<Eigen::Index>(n), static_cast<Eigen::Index>(free_.size()));
    residuals.resize(static_cast<Eigen::Index>(n));
    Eigen::Index row = 0;
    for (std::size_t k = 0; k < matches.size(); ++k) {
      if (!chosen[k]) continue;
      const Stick& stick = sticks[static_cast<std::size_t>(matches[k].stick)];
      const ScalableLine& line = lines_[static_cast<std::size_t>(stick.line)];
      const std::array<double, 2> slopes = LineSlopes(line, s.a, s.c, ComponentWavelength(setup_, stick.component));
      for (std::size_t j = 0; j < free_.size(); ++j)
        jacobian(row, static_cast<Eigen::Index>(j)) = free_[j] == kZero ? 1.0 : slopes[static_cast<std::size_t>(free_[j])];
      residuals(row) = peaks_[k].twoTheta - Position(stick, s);
      ++row;
    }
  }

  // |residual| / (1 - leverage) of every indexed peak at s: its residual were
  // it left out of the fit (the peaks outside have no leverage on it).
  std::vector<double> Deleted(const std::vector<Stick>& sticks, const std::vector<PeakMatch>& matches,
                                  const std::vector<bool>& chosen, const State& s) const {
    Eigen::MatrixXd jacobian;
    Eigen::VectorXd residuals;
    Linearise(sticks, matches, chosen, s, jacobian, residuals);
    const Eigen::VectorXd leverage = Leverages(jacobian * Scales(s).asDiagonal());
    std::vector<double> out(matches.size(), 0.0);
    Eigen::Index row = 0;
    for (std::size_t k = 0; k < matches.size(); ++k) {
      if (matches[k].stick < 0) continue;
      const double r = std::fabs(peaks_[k].twoTheta - Position(sticks[static_cast<std::size_t>(matches[k].stick)], s));
      const double h = chosen[k] ? std::min(leverage(row++), 0.999) : 0.0;
      out[k] = r / (1.0 - h);
    }
    return out;
  }

  Eigen::VectorXd Scales(const State& s) const {
    Eigen::VectorXd scale(static_cast<Eigen::Index>(free_.size()));
    for (std::size_t j = 0; j < free_.size(); ++j)
      scale(static_cast<Eigen::Index>(j)) = free_[j] == kA ? s.a : free_[j] == kC ? s.c : 1.0;
    return scale;
  }

  // Gauss-Newton on a fixed indexing, from s, in at most maxIterations
  // steps; counts them in iterations.
  std::string Solve(const std::vector<Stick>& sticks, const std::vector<PeakMatch>& matches,
                    const std::vector<bool>& chosen, State& s, int& iterations) const {
    Eigen::MatrixXd jacobian;
    Eigen::VectorXd residuals;
    for (int steps = 0;; ++steps) {
      if (steps >= settings_.maxIterations)
        return "did not converge in " + std::to_string(settings_.maxIterations) + " iterations";
      Linearise(sticks, matches, chosen, s, jacobian, residuals);
      const NormalStep step = SolveLeastSquares(jacobian, residuals, Scales(s));
      if (step.undetermined >= 0) return Undetermined(free_[static_cast<std::size_t>(step.undetermined)]);
      ++iterations;
      bool converged = true;
      for (std::size_t j = 0; j < free_.size(); ++j) {
        const int p = free_[j];
        const double shift = step.shift(static_cast<Eigen::Index>(j));
        s[p] += shift;
        converged = converged && std::fabs(shift) <= (p == kZero ? 1e-9 : 1e-10 * std::fabs(s[p]));
      }
      if (!(s.a > 0.0 && std::isfinite(s.a) && (!settings_.hasC || (s.c > 0.0 && std::isfinite(s.c))) &&
            std::isfinite(s.zero)))
        return "diverged (a = " + ShortestText(s.a) + ", c = " + ShortestText(s.c) + ", zero = " + ShortestText(s.zero) +
               ")";
      for (std::size_t k = 0; k < matches.size(); ++k)
        if (chosen[k] && !std::isfinite(Position(sticks[static_cast<std::size_t>(matches[k].stick)], s)))
          return "diverged (a = " + ShortestText(s.a) + " puts an indexed line beyond 2theta = 180)";
      if (converged) return {};
    }
  }

  // The first bound the refined values run past, or an empty string.
  std::string Bounds(const State& s) const {
    struct Bound {
      int p;
      double low, high;
      const char* unit;
    };
    const Bound bounds[] = {{kA, settings_.aLow, settings_.aHigh, " A"},
                            {kC, settings_.cLow, settings_.cHigh, " A"},
                            {kZero, settings_.zeroLow, settings_.zeroHigh, " degrees"}};
    for (int p : free_) {
      const Bound& b = bounds[p];
      const double slack = p == kZero ? 1e-9 : 1e-9 * std::fabs(s[p]);
      if (s[p] < b.low - slack || s[p] > b.high + slack)
        return std::string(kParameterNames[p]) + " = " + ShortestText(s[p]) + b.unit + kPastBound +
               ShortestText(s[p] < b.low ? b.low : b.high) + b.unit + " (from " + ShortestText(b.low) + " to " +
               ShortestText(b.high) + b.unit + ")";
    }
    return {};
  }

 private:
  const std::vector<ScalableLine>& lines_;
  const std::vector<ObservedPeak>& peaks_;
  const std::vector<double>& shares_;
  WavelengthSetup setup_;
  RefineSettings settings_;
  std::vector<int> free_;
  double minShare_ = 0.0;
  double width_ = 0.0;
};

// The standard uncertainties of the fit of cell (its matches and peaks in the
// fit) at s; error set when a parameter is not determined.
RefinedCell Uncertainties(const Fit& fit, const RefinedCell& cell, const State& s) {
  RefinedCell out;
  Eigen::MatrixXd jacobian;
  Eigen::VectorXd residuals;
  fit.Linearise(cell.sticks, cell.matches, cell.inFit, s, jacobian, residuals);
  const NormalStep solution = SolveLeastSquares(jacobian, residuals, fit.Scales(s));
  if (solution.undetermined >= 0) {
    out.error = Undetermined(fit.free()[static_cast<std::size_t>(solution.undetermined)]);
    return out;
  }
  const std::size_t p = fit.free().size();
  const double dof = static_cast<double>(residuals.size()) - static_cast<double>(p);
  const double variance = dof > 0.0 ? residuals.squaredNorm() / dof : 0.0;
  double* su[] = {&out.aSu, &out.cSu, &out.zeroSu};
  for (std::size_t j = 0; j < p; ++j)
    *su[fit.free()[j]] =
        std::sqrt(variance * solution.covariance(static_cast<Eigen::Index>(j), static_cast<Eigen::Index>(j)));
  return out;
}

}  // namespace

RefinedCell RefineCell(const std::vector<ScalableLine>& lines, const std::vector<ObservedPeak>& peaks,
                       const std::vector<double>& peakShares, const WavelengthSetup& setup, double a, double c,
                       double zero, const RefineSettings& settings) {
  RefinedCell out;
  Fit fit(lines, peaks, peakShares, setup, settings);
  State s{a, c, zero};
  out.a = a, out.c = c, out.zero = zero;
  const std::size_t p = fit.free().size();
  if (p == 0 || peaks.empty()) return out;
  const std::size_t needed = std::max<std::size_t>(3, p + 1);

  // The highest angle whose peaks a relative error u of the cell leaves within
  // half the tolerance: 2 tan(theta) u = tolerance / 2 (radians), but at least
  // the lowest P + 2 peaks.
  auto limitFor = [&](double u) {
    const double limit = u > 0.0 ? 2.0 * std::atan(settings.tolerance * kDegree / (4.0 * u)) / kDegree : 180.0;
    return std::max(limit, peaks[std::min(peaks.size(), p + 2) - 1].twoTheta);
  };
  double limit = limitFor(settings.startUncertainty);
  bool cleanOnly = false;
  out.outlier.assign(peaks.size(), false);
  auto choose = [&] { out.inFit = fit.Chosen(out.sticks, out.matches, limit, out.outlier, cleanOnly); };

  // Fits and indexes again until the indexing stays; false (with the error)
  // when a fit fails or too few peaks are indexed (tooFew set).
  bool tooFew = false;
  auto settle = [&] {
    for (int round = 0; round < kMaxIndexingRounds; ++round) {
      const auto used = static_cast<std::size_t>(std::count(out.inFit.begin(), out.inFit.end(), true));
      if (used < needed) {
        out.error = "only " + std::to_string(used) + " of " + std::to_string(peaks.size()) + " peaks indexed within " +
                    ShortestText(settings.tolerance) + " degrees; " + std::to_string(p) +
                    " refined parameters need at least " + std::to_string(needed);
        tooFew = true;
        return false;
      }
      const State before = s;
      out.error = fit.Solve(out.sticks, out.matches, out.inFit, s, out.iterations);
      if (!out.error.empty()) return false;
      std::vector<Stick> sticks;
      std::vector<PeakMatch> matches;
      fit.Index(s, sticks, matches);
      bool same = true;
      for (std::size_t k = 0; k < matches.size() && same; ++k) {
        const PeakMatch& m = matches[k];
        const PeakMatch& was = out.matches[k];
        same = (m.stick < 0) == (was.stick < 0) && m.ambiguous == was.ambiguous &&
               (m.stick < 0 || (sticks[static_cast<std::size_t>(m.stick)].line ==
                                    out.sticks[static_cast<std::size_t>(was.stick)].line &&
                                sticks[static_cast<std::size_t>(m.stick)].component ==
                                    out.sticks[static_cast<std::size_t>(was.stick)].component));
      }
      out.sticks = std::move(sticks);
      out.matches = std::move(matches);
      choose();
      // A cell that hardly moves is settled even if a peak keeps changing
      // between two lines (or in and out of the fit).
      const bool still = std::fabs(s.a - before.a) <= 1e-6 * s.a && std::fabs(s.c - before.c) <= 1e-6 * std::fabs(s.c) &&
                         std::fabs(s.zero - before.zero) <= 1e-4;
      if (same || (still && round > 0)) return true;
    }
    // An indexing that keeps changing goes round between near-equal
    // assignments: the last is kept; the figures of merit judge it.
    return true;
  };

  fit.Index(s, out.sticks, out.matches);
  choose();
  auto nextPeak = [&] {
    const auto next = std::upper_bound(peaks.begin(), peaks.end(), limit,
                                       [](double t, const ObservedPeak& q) { return t < q.twoTheta; });
    return next == peaks.end() ? 180.0 : next->twoTheta;
  };
  // From the low angles out, as far as the cell's uncertainty allows and one
  // peak further at least; too few indexed peaks at the start reach further.
  // The first few low-angle peaks hardly tell a zero shift from a change of
  // the cell: the zero shift waits for the first widening.
  const bool hold = settings.startUncertainty > 0.0 && settings.refineZero && p > 1;
  fit.HoldZero(hold);
  for (;;) {
    if (!settle()) {
      if (!tooFew || limit >= peaks.back().twoTheta || out.iterations > 0) return out;
      tooFew = false;
      out.error.clear();
      limit = nextPeak();
      choose();
      continue;
    }
    fit.Narrow(out.sticks, out.matches, out.inFit, s);
    fit.HoldZero(false);
    if (limit >= peaks.back().twoTheta) break;
    const RefinedCell now = Uncertainties(fit, out, s);
    const double u = 3.0 * std::max(now.aSu / s.a, settings.hasC ? now.cSu / s.c : 0.0) + 1e-6;
    limit = std::max(limitFor(u), nextPeak());
    choose();
  }
  // Then the clean positions alone, without the peaks far off their lines:
  // each peak's residual were it left out of the fit, r / (1 - h) with h its
  // leverage (a wrong line far out pulls the fit to itself), beyond 4 sigma
  // of those residuals (from their median), at least a tenth of the tolerance.
  cleanOnly = true;
  choose();
  for (int round = 0; round <= kMaxOutlierRounds; ++round) {
    if (!settle()) return out;
    const std::vector<double> misses = fit.Deleted(out.sticks, out.matches, out.inFit, s);
    std::vector<double> fitted;
    for (std::size_t k = 0; k < peaks.size(); ++k)
      if (out.inFit[k]) fitted.push_back(misses[k]);
    const auto middle = fitted.begin() + static_cast<std::ptrdiff_t>(fitted.size() / 2);
    std::nth_element(fitted.begin(), middle, fitted.end());
    const double cut = std::max(4.0 * 1.4826 * *middle, 0.1 * settings.tolerance);
    std::vector<bool> outlier(peaks.size(), false);
    for (std::size_t k = 0; k < peaks.size(); ++k) outlier[k] = out.matches[k].stick >= 0 && misses[k] > cut;
    if (outlier == out.outlier) break;
    out.outlier = std::move(outlier);
    choose();
  }
  out.a = s.a, out.c = s.c, out.zero = s.zero;
  if (std::string bound = fit.Bounds(s); !bound.empty()) {
    out.error = bound;
    return out;
  }
  const RefinedCell final = Uncertainties(fit, out, s);
  out.error = final.error;
  out.aSu = final.aSu, out.cSu = final.cSu, out.zeroSu = final.zeroSu;
  return out;
}

}  // namespace lumora
