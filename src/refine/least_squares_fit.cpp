#include "refine/least_squares_fit.hpp"

#include <algorithm>
#include <cmath>

#include "common/least_squares.hpp"
#include "common/number_text.hpp"

namespace lumora {
namespace {

// Convergence: every shift below this fraction of its su.
constexpr double kShiftOverSu = 1e-3;
// Marquardt's factor: start, and where a step that still does not lower the
// sum of squares means the minimum is reached.
constexpr double kStartDamping = 1e-3;
constexpr double kLargestDamping = 1e12;
// A parameter direction the scaled normal matrix has less than this of is undetermined.
constexpr double kSingular = 1e-12;
// Minima closer than this (in su of the best) are one; another minimum whose
// sum of squares is within this many GoF^2 of the best fits the data as well.
constexpr double kSameSolutionSu = 3.0;
constexpr double kAmbiguousChi2 = 4.0;

double Chi2(const FitModel& model, const Eigen::VectorXd& calculated) {
  const Eigen::VectorXd w = model.weights(calculated);
  return (w.array() * (model.observed - calculated).array().square()).sum();
}

// The parameters that take part in a step: not those held at a bound that the
// gradient pushes further out.
std::vector<Eigen::Index> ActiveSet(const FitModel& model, const Eigen::VectorXd& v, const Eigen::VectorXd& gradient) {
  std::vector<Eigen::Index> active;
  for (Eigen::Index k = 0; k < v.size(); ++k) {
    const ParameterBounds& b = model.bounds[static_cast<std::size_t>(k)];
    const bool low = v(k) <= b.low && gradient(k) < 0.0;
    const bool high = v(k) >= b.high && gradient(k) > 0.0;
    if (!low && !high) active.push_back(k);
  }
  return active;
}

Eigen::MatrixXd Select(const Eigen::MatrixXd& m, const std::vector<Eigen::Index>& index) {
  const Eigen::Index p = static_cast<Eigen::Index>(index.size());
  Eigen::MatrixXd s(p, p);
  for (Eigen::Index a = 0; a < p; ++a)
    for (Eigen::Index b = 0; b < p; ++b)
      s(a, b) = m(index[static_cast<std::size_t>(a)], index[static_cast<std::size_t>(b)]);
  return s;
}

Eigen::VectorXd Select(const Eigen::VectorXd& v, const std::vector<Eigen::Index>& index) {
  Eigen::VectorXd s(static_cast<Eigen::Index>(index.size()));
  for (std::size_t a = 0; a < index.size(); ++a) s(static_cast<Eigen::Index>(a)) = v(index[a]);
  return s;
}

std::string Undetermined(const FitModel& model, const std::vector<Eigen::Index>& active, const NormalStep& step) {
  const auto name = [&](Eigen::Index a) { return model.names[static_cast<std::size_t>(active[static_cast<std::size_t>(a)])]; };
  std::string message = name(step.undetermined) + " is not determined by the data";
  std::string partners;
  for (Eigen::Index a = 0; a < step.nullDirection.size(); ++a)
    if (a != step.undetermined && std::fabs(step.nullDirection(a)) > 0.2) partners += (partners.empty() ? "" : ", ") + name(a);
  if (!partners.empty()) message += " (it moves together with " + partners + ")";
  return message;
}

struct Linearised {
  Eigen::VectorXd calculated, weights;
  Eigen::MatrixXd normal;
  Eigen::VectorXd gradient;
  double chi2 = 0.0;
};

Linearised Linearise(const FitModel& model, const Eigen::VectorXd& v) {
  Linearised l;
  Eigen::MatrixXd jacobian;
  l.calculated = model.calculate(v, &jacobian);
  l.weights = model.weights(l.calculated);
  const Eigen::VectorXd residual = model.observed - l.calculated;
  l.chi2 = (l.weights.array() * residual.array().square()).sum();
  l.normal = jacobian.transpose() * l.weights.asDiagonal() * jacobian;
  l.gradient = jacobian.transpose() * (l.weights.array() * residual.array()).matrix();
  return l;
}

// One Levenberg-Marquardt descent from v.
struct LocalFit {
  Eigen::VectorXd v;
  double chi2 = 0.0;
  bool converged = false;
  bool cancelled = false;
  int iterations = 0;
  double maxShiftOverSu = 0.0;
};

LocalFit Descend(const FitModel& model, Eigen::VectorXd v, const FitControl& control, int& totalIterations) {
  LocalFit fit;
  const std::size_t n = static_cast<std::size_t>(model.observed.size());
  double damping = kStartDamping;
  while (fit.iterations < control.maxIterations && !fit.converged) {
    if (control.cancel && control.cancel->load()) {
      fit.cancelled = true;
      break;
    }
    const Linearised l = Linearise(model, v);
    fit.chi2 = l.chi2;
    if (!std::isfinite(l.chi2)) break;  // the model has no value here: this descent fails
    std::vector<Eigen::Index> active = ActiveSet(model, v, l.gradient);
    // A parameter the data do not fix here is held for this step; the end decides.
    NormalStep step;
    while (!active.empty()) {
      step = SolveNormal(Select(l.normal, active), Select(l.gradient, active), 0.0, kSingular);
      if (step.undetermined < 0) break;
      active.erase(active.begin() + step.undetermined);
    }
    ++fit.iterations;
    ++totalIterations;
    if (active.empty() || n <= active.size()) {
      fit.converged = true;
      break;
    }
    const Eigen::MatrixXd activeNormal = Select(l.normal, active);
    const Eigen::VectorXd activeGradient = Select(l.gradient, active);
    const double variance = l.chi2 / static_cast<double>(n - active.size());
    for (;;) {
      const NormalStep damped = SolveNormal(activeNormal, activeGradient, damping, kSingular);
      Eigen::VectorXd trial = v;
      for (std::size_t a = 0; a < active.size(); ++a) trial(active[a]) += damped.shift(static_cast<Eigen::Index>(a));
      trial = ClampToBounds(trial, model.bounds);
      const double trialChi2 = Chi2(model, model.calculate(trial, nullptr));
      if (trialChi2 <= l.chi2) {
        double largest = 0.0;
        for (std::size_t a = 0; a < active.size(); ++a) {
          const Eigen::Index k = active[a];
          const Eigen::Index ak = static_cast<Eigen::Index>(a);
          const double su = std::sqrt(std::max(variance, 0.0) * step.covariance(ak, ak));
          const double floor = 1e-9 * (std::fabs(v(k)) + 1e-3);
          largest = std::max(largest, std::fabs(trial(k) - v(k)) / std::max(su, floor));
        }
        fit.maxShiftOverSu = largest;
        fit.converged = largest < kShiftOverSu || l.chi2 - trialChi2 <= 1e-14 * l.chi2;
        fit.chi2 = trialChi2;
        v = trial;
        damping = std::max(damping / 10.0, 1e-9);
        break;
      }
      damping *= 10.0;
      if (damping > kLargestDamping) {
        fit.converged = true;  // no step lowers the sum any more
        break;
      }
    }
    if (control.progress) control.progress(totalIterations, fit.chi2);
  }
  fit.v = v;
  return fit;
}

}  // namespace

Eigen::VectorXd ClampToBounds(Eigen::VectorXd v, const std::vector<ParameterBounds>& bounds) {
  for (std::size_t k = 0; k < bounds.size(); ++k) {
    double& x = v(static_cast<Eigen::Index>(k));
    x = std::clamp(x, bounds[k].low, bounds[k].high);
  }
  return v;
}

FitResult FitLeastSquares(const FitModel& model, const Eigen::VectorXd& start, const FitControl& control) {
  FitResult out;
  out.values = start;
  const std::size_t n = static_cast<std::size_t>(model.observed.size());
  const std::size_t p = static_cast<std::size_t>(start.size());
  auto refuse = [&](std::string why) {
    out.status = RefinementStatus::Refused;
    out.error = std::move(why);
    return out;
  };
  if (p == 0) return refuse("nothing to refine");
  if (n <= p)
    return refuse(std::to_string(n) + " " + model.observationsNoun + " cannot determine " + std::to_string(p) +
                  " parameters: a refinement needs more " + model.observationsNoun + " than parameters");

  // The descent from the given start, then from starts spread over the search ranges.
  std::vector<LocalFit> fits;
  int totalIterations = 0;
  Eigen::VectorXd first = ClampToBounds(start, model.bounds);
  if (model.prepare) model.prepare(first);
  fits.push_back(Descend(model, first, control, totalIterations));
  std::mt19937 random(control.seed);
  for (int k = 0; k < control.searchStarts && model.searchStart && !fits.back().cancelled; ++k) {
    Eigen::VectorXd v = ClampToBounds(model.searchStart(start, random), model.bounds);
    if (model.prepare) model.prepare(v);
    fits.push_back(Descend(model, v, control, totalIterations));
  }
  out.iterations = totalIterations;
  if (fits.back().cancelled) {
    out.status = RefinementStatus::Cancelled;
    out.error = "cancelled";
    return out;
  }
  const LocalFit* best = nullptr;
  for (const LocalFit& fit : fits)
    if (fit.converged && std::isfinite(fit.chi2) && (!best || fit.chi2 < best->chi2)) best = &fit;
  if (!best)
    return refuse("did not converge in " + std::to_string(control.maxIterations) + " iterations (largest shift " +
                  ShortestText(fits.front().maxShiftOverSu) + " su)");
  const Eigen::VectorXd v = best->v;
  out.values = v;
  out.maxShiftOverSu = best->maxShiftOverSu;

  // The solution: its uncertainties and correlations.
  const Linearised l = Linearise(model, v);
  const std::vector<Eigen::Index> active = ActiveSet(model, v, l.gradient);
  out.atBound.assign(p, true);
  for (Eigen::Index k : active) out.atBound[static_cast<std::size_t>(k)] = false;
  if (active.empty()) return refuse("every refined parameter ends at a bound");
  const NormalStep final = SolveNormal(Select(l.normal, active), Select(l.gradient, active), 0.0, kSingular);
  if (final.undetermined >= 0) return refuse(Undetermined(model, active, final));
  if (n <= active.size()) return refuse("no more " + model.observationsNoun + " than refined parameters");
  const double gof2 = l.chi2 / static_cast<double>(n - active.size());
  const Eigen::Index q = static_cast<Eigen::Index>(active.size());
  out.su.assign(p, 0.0);
  for (Eigen::Index a = 0; a < q; ++a)
    out.su[static_cast<std::size_t>(active[static_cast<std::size_t>(a)])] = std::sqrt(gof2 * final.covariance(a, a));
  out.refinedIndex.assign(active.begin(), active.end());
  out.correlations.resize(static_cast<std::size_t>(q * q));
  for (Eigen::Index a = 0; a < q; ++a)
    for (Eigen::Index b = 0; b < q; ++b)
      out.correlations[static_cast<std::size_t>(a * q + b)] =
          final.covariance(a, b) / std::sqrt(final.covariance(a, a) * final.covariance(b, b));

  // The other minima found, and whether one of them fits as well.
  for (const LocalFit& fit : fits) {
    if (!fit.converged || !std::isfinite(fit.chi2)) continue;
    RefinementCandidate candidate;
    candidate.chi2 = fit.chi2;
    candidate.values.assign(fit.v.data(), fit.v.data() + fit.v.size());
    double farthest = 0.0;
    for (std::size_t k = 0; k < p; ++k) {
      const Eigen::Index kk = static_cast<Eigen::Index>(k);
      const double d = std::fabs(fit.v(kk) - v(kk));
      const double su = out.su[k];
      farthest = std::max(farthest, su > 0.0 ? d / su : (d > 1e-9 * (std::fabs(v(kk)) + 1e-6) ? 1e9 : 0.0));
    }
    candidate.distanceInSu = farthest;
    if (farthest <= kSameSolutionSu) continue;  // the same minimum
    const bool duplicate = std::any_of(out.candidates.begin(), out.candidates.end(), [&](const RefinementCandidate& c) {
      return std::fabs(c.chi2 - candidate.chi2) <= 1e-6 * (c.chi2 + 1e-12);
    });
    if (!duplicate) out.candidates.push_back(candidate);
  }
  std::sort(out.candidates.begin(), out.candidates.end(),
            [](const RefinementCandidate& a, const RefinementCandidate& b) { return a.chi2 < b.chi2; });
  for (const RefinementCandidate& c : out.candidates)
    if (c.chi2 - l.chi2 < kAmbiguousChi2 * gof2) {
      std::string values;
      for (std::size_t k = 0; k < p; ++k) values += (k ? ", " : "") + model.names[k] + " = " + ShortestText(c.values[k]);
      return refuse("two solutions fit the data equally well: sum w d^2 = " + ShortestText(l.chi2) + " and " +
                    ShortestText(c.chi2) + " (" + values + ")");
    }
  out.calculated = l.calculated;
  out.weights = l.weights;
  out.chi2 = l.chi2;
  out.gof = std::sqrt(gof2);
  out.status = RefinementStatus::Refined;
  return out;
}

}  // namespace lumora
