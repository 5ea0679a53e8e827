#include "refine/structure_refinement.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

#include "common/least_squares.hpp"
#include "common/number_text.hpp"
#include "refine/calculated_intensities.hpp"

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
// The search's ranges: occupancy, B_par and B_perp up to twice the start or
// these (A^2), sizes within these factors of the start.
constexpr double kSearchOccupancy[2] = {0.2, 1.0};
constexpr double kSearchBPar = 3.0;
constexpr double kSearchBPerp = 5.0;
constexpr double kSearchSize[2] = {0.75, 1.33};
// Minima closer than this (in su of the best) are one; another minimum whose
// sum of squares is within this many GoF^2 of the best fits the data as well.
constexpr double kSameSolutionSu = 3.0;
constexpr double kAmbiguousChi2 = 4.0;

class Problem {
 public:
  Problem(const RefinementSetup& setup, CalculatedIntensities calc) : setup_(setup), calc_(std::move(calc)) {
    const std::size_t n = setup.data.reflections.size();
    observed_.resize(static_cast<Eigen::Index>(n));
    sigma_.resize(static_cast<Eigen::Index>(n));
    for (std::size_t i = 0; i < n; ++i) {
      observed_(static_cast<Eigen::Index>(i)) = setup.data.reflections[i].intensity;
      sigma_(static_cast<Eigen::Index>(i)) = setup.data.reflections[i].sigma;
    }
    for (const FreeParameter& f : setup.free) bounds_.push_back(BoundsOf(f.members.front().kind));
  }

  std::size_t Count() const { return setup_.free.size(); }
  const ParameterBounds& Bounds(std::size_t k) const { return bounds_[k]; }
  const Eigen::VectorXd& Observed() const { return observed_; }

  ModelState StateAt(const Eigen::VectorXd& v) const {
    ModelState state = setup_.start;
    for (std::size_t k = 0; k < setup_.free.size(); ++k)
      for (const ParameterRef& ref : setup_.free[k].members) SetValue(state, ref, v(static_cast<Eigen::Index>(k)));
    return state;
  }

  Eigen::VectorXd Clamp(Eigen::VectorXd v) const {
    for (std::size_t k = 0; k < bounds_.size(); ++k) {
      double& x = v(static_cast<Eigen::Index>(k));
      x = std::clamp(x, bounds_[k].low, bounds_[k].high);
    }
    return v;
  }

  // I_calc (and the jacobian) at v.
  Eigen::VectorXd Calculate(const Eigen::VectorXd& v, Eigen::MatrixXd* jacobian) const {
    std::vector<double> intensity;
    calc_.Evaluate(StateAt(v), setup_.free, intensity, jacobian);
    return Eigen::Map<const Eigen::VectorXd>(intensity.data(), static_cast<Eigen::Index>(intensity.size()));
  }

  Eigen::VectorXd Weights(const Eigen::VectorXd& calculated) const {
    const Weighting& s = setup_.weighting;
    Eigen::VectorXd w(observed_.size());
    for (Eigen::Index i = 0; i < w.size(); ++i) {
      const double p = (std::max(observed_(i), 0.0) + 2.0 * calculated(i)) / 3.0;
      w(i) = 1.0 / (sigma_(i) * sigma_(i) + s.a * s.a * p * p + s.b * p);
    }
    return w;
  }

  double Chi2(const Eigen::VectorXd& calculated) const {
    return (Weights(calculated).array() * (observed_ - calculated).array().square()).sum();
  }

  const CalculatedIntensities& Calc() const { return calc_; }

 private:
  const RefinementSetup& setup_;
  CalculatedIntensities calc_;
  Eigen::VectorXd observed_, sigma_;
  std::vector<ParameterBounds> bounds_;
};

// The parameters that take part in a step: not those held at a bound that the
// gradient pushes further out.
std::vector<Eigen::Index> ActiveSet(const Problem& problem, const Eigen::VectorXd& v, const Eigen::VectorXd& gradient) {
  std::vector<Eigen::Index> active;
  for (Eigen::Index k = 0; k < v.size(); ++k) {
    const ParameterBounds& b = problem.Bounds(static_cast<std::size_t>(k));
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
    for (Eigen::Index b = 0; b < p; ++b) s(a, b) = m(index[static_cast<std::size_t>(a)], index[static_cast<std::size_t>(b)]);
  return s;
}

Eigen::VectorXd Select(const Eigen::VectorXd& v, const std::vector<Eigen::Index>& index) {
  Eigen::VectorXd s(static_cast<Eigen::Index>(index.size()));
  for (std::size_t a = 0; a < index.size(); ++a) s(static_cast<Eigen::Index>(a)) = v(index[a]);
  return s;
}

std::string Undetermined(const RefinementSetup& setup, const std::vector<Eigen::Index>& active, const NormalStep& step) {
  const auto name = [&](Eigen::Index a) {
    return FreeParameterName(setup.free[static_cast<std::size_t>(active[static_cast<std::size_t>(a)])], setup.start.model);
  };
  std::string message = name(step.undetermined) + " is not determined by the data";
  std::string partners;
  for (Eigen::Index a = 0; a < step.nullDirection.size(); ++a)
    if (a != step.undetermined && std::fabs(step.nullDirection(a)) > 0.2) partners += (partners.empty() ? "" : ", ") + name(a);
  if (!partners.empty()) message += " (it moves together with " + partners + ")";
  return message;
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

LocalFit Descend(const Problem& problem, Eigen::VectorXd v, int maxIterations, const RefinementSetup& setup,
                 int& totalIterations) {
  LocalFit fit;
  const Eigen::VectorXd& observed = problem.Observed();
  const std::size_t n = static_cast<std::size_t>(observed.size());
  double damping = kStartDamping;
  Eigen::MatrixXd jacobian;
  while (fit.iterations < maxIterations && !fit.converged) {
    if (setup.cancel && setup.cancel->load()) {
      fit.cancelled = true;
      break;
    }
    const Eigen::VectorXd calculated = problem.Calculate(v, &jacobian);
    const Eigen::VectorXd w = problem.Weights(calculated);
    const double chi2 = (w.array() * (observed - calculated).array().square()).sum();
    fit.chi2 = chi2;
    const Eigen::MatrixXd normal = jacobian.transpose() * w.asDiagonal() * jacobian;
    const Eigen::VectorXd gradient = jacobian.transpose() * (w.array() * (observed - calculated).array()).matrix();
    std::vector<Eigen::Index> active = ActiveSet(problem, v, gradient);
    // A parameter the data do not fix here is held for this step; the end decides.
    NormalStep step;
    while (!active.empty()) {
      step = SolveNormal(Select(normal, active), Select(gradient, active), 0.0, kSingular);
      if (step.undetermined < 0) break;
      active.erase(active.begin() + step.undetermined);
    }
    ++fit.iterations;
    ++totalIterations;
    if (active.empty() || n <= active.size()) {
      fit.converged = true;
      break;
    }
    const Eigen::MatrixXd activeNormal = Select(normal, active);
    const Eigen::VectorXd activeGradient = Select(gradient, active);
    const double variance = chi2 / static_cast<double>(n - active.size());
    for (;;) {
      const NormalStep damped = SolveNormal(activeNormal, activeGradient, damping, kSingular);
      Eigen::VectorXd trial = v;
      for (std::size_t a = 0; a < active.size(); ++a) trial(active[a]) += damped.shift(static_cast<Eigen::Index>(a));
      trial = problem.Clamp(trial);
      const double trialChi2 = problem.Chi2(problem.Calculate(trial, nullptr));
      if (trialChi2 <= chi2) {
        double largest = 0.0;
        for (std::size_t a = 0; a < active.size(); ++a) {
          const Eigen::Index k = active[a];
          const Eigen::Index ak = static_cast<Eigen::Index>(a);
          const double su = std::sqrt(std::max(variance, 0.0) * step.covariance(ak, ak));
          const double floor = 1e-9 * (std::fabs(v(k)) + 1e-3);
          largest = std::max(largest, std::fabs(trial(k) - v(k)) / std::max(su, floor));
        }
        fit.maxShiftOverSu = largest;
        fit.converged = largest < kShiftOverSu || chi2 - trialChi2 <= 1e-14 * chi2;
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
    if (setup.progress) setup.progress(totalIterations, fit.chi2);
  }
  fit.v = v;
  return fit;
}

// The scale enters linearly: its least-squares value at the other parameters.
void ScaleToData(const Problem& problem, const std::vector<RefinedValue>& parameters, Eigen::VectorXd& v) {
  for (std::size_t k = 0; k < parameters.size(); ++k)
    if (parameters[k].kind == ParameterKind::Scale) {
      const Eigen::VectorXd calculated = problem.Calculate(v, nullptr);
      const Eigen::VectorXd w = problem.Weights(calculated);
      const double den = (w.array() * calculated.array().square()).sum();
      const double num = (w.array() * calculated.array() * problem.Observed().array()).sum();
      if (den > 0.0 && num > 0.0) v(static_cast<Eigen::Index>(k)) *= num / den;
    }
}

// A start drawn from the range each kind of parameter is searched over.
Eigen::VectorXd SearchStart(const std::vector<RefinedValue>& parameters, std::mt19937& random) {
  Eigen::VectorXd v(static_cast<Eigen::Index>(parameters.size()));
  auto uniform = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
  for (std::size_t k = 0; k < parameters.size(); ++k) {
    const double start = parameters[k].start;
    double x = start;
    switch (parameters[k].kind) {
      case ParameterKind::Occupancy: x = uniform(kSearchOccupancy[0], kSearchOccupancy[1]); break;
      case ParameterKind::BPar: x = uniform(0.0, std::max(2.0 * start, kSearchBPar)); break;
      case ParameterKind::BPerp: x = uniform(0.0, std::max(2.0 * start, kSearchBPerp)); break;
      case ParameterKind::Size: x = start * uniform(kSearchSize[0], kSearchSize[1]); break;
      case ParameterKind::Scale:
      case ParameterKind::Extinction: break;
    }
    v(static_cast<Eigen::Index>(k)) = x;
  }
  return v;
}

}  // namespace

RefinementOutcome RefineStructure(const RefinementSetup& setup) {
  RefinementOutcome out;
  out.refined = setup.start;
  const std::size_t n = setup.data.reflections.size();
  const std::size_t p = setup.free.size();
  for (const FreeParameter& f : setup.free) {
    RefinedValue value;
    value.name = FreeParameterName(f, setup.start.model);
    value.kind = f.members.front().kind;
    value.start = value.value = ValueOf(setup.start, f.members.front());
    out.parameters.push_back(value);
  }
  auto refuse = [&](std::string why) {
    out.status = RefinementStatus::Refused;
    out.error = std::move(why);
    return out;
  };
  if (p == 0) return refuse("nothing to refine");
  if (n <= p)
    return refuse(std::to_string(n) + " reflections cannot determine " + std::to_string(p) +
                  " parameters: a refinement needs more reflections than parameters");
  if (!(setup.wavelength > 0.0)) return refuse("the wavelength must be above 0");

  std::vector<std::vector<IndexVector>> members;
  for (const MergedReflection& r : setup.data.reflections) members.push_back(r.members);
  auto made = CalculatedIntensities::Make(setup.lattice, setup.wavelength, setup.start.model, members);
  if (const std::string* error = std::get_if<std::string>(&made)) return refuse(*error);
  const Problem problem(setup, std::get<CalculatedIntensities>(std::move(made)));
  const Eigen::VectorXd& observed = problem.Observed();

  // The descent from the given start, then from starts spread over the search
  // ranges: the best minimum wins, and one nearly as good elsewhere makes the
  // answer ambiguous.
  std::vector<LocalFit> fits;
  int totalIterations = 0;
  {
    Eigen::VectorXd v(static_cast<Eigen::Index>(p));
    for (std::size_t k = 0; k < p; ++k) v(static_cast<Eigen::Index>(k)) = out.parameters[k].start;
    v = problem.Clamp(v);
    ScaleToData(problem, out.parameters, v);
    fits.push_back(Descend(problem, v, setup.maxIterations, setup, totalIterations));
  }
  std::mt19937 random(setup.searchSeed);
  for (int k = 0; k < setup.searchStarts && !fits.back().cancelled; ++k) {
    Eigen::VectorXd v = problem.Clamp(SearchStart(out.parameters, random));
    ScaleToData(problem, out.parameters, v);
    fits.push_back(Descend(problem, v, setup.maxIterations, setup, totalIterations));
  }
  out.iterations = totalIterations;
  if (fits.back().cancelled) {
    out.status = RefinementStatus::Cancelled;
    out.error = "cancelled";
    return out;
  }
  const LocalFit* best = nullptr;
  for (const LocalFit& fit : fits)
    if (fit.converged && (!best || fit.chi2 < best->chi2)) best = &fit;
  if (!best)
    return refuse("did not converge in " + std::to_string(setup.maxIterations) + " iterations (largest shift " +
                  ShortestText(fits.front().maxShiftOverSu) + " su)");
  const Eigen::VectorXd v = best->v;
  out.maxShiftOverSu = best->maxShiftOverSu;

  // The solution: its uncertainties, statistics and fit.
  Eigen::MatrixXd jacobian;
  const Eigen::VectorXd calculated = problem.Calculate(v, &jacobian);
  const Eigen::VectorXd w = problem.Weights(calculated);
  const Eigen::VectorXd residual = observed - calculated;
  const double chi2 = (w.array() * residual.array().square()).sum();
  const Eigen::MatrixXd normal = jacobian.transpose() * w.asDiagonal() * jacobian;
  const Eigen::VectorXd gradient = jacobian.transpose() * (w.array() * residual.array()).matrix();
  const std::vector<Eigen::Index> active = ActiveSet(problem, v, gradient);
  for (std::size_t k = 0; k < p; ++k) {
    out.parameters[k].value = v(static_cast<Eigen::Index>(k));
    out.parameters[k].atBound = std::find(active.begin(), active.end(), static_cast<Eigen::Index>(k)) == active.end();
  }
  if (active.empty()) return refuse("every refined parameter ends at a bound");
  const NormalStep final = SolveNormal(Select(normal, active), Select(gradient, active), 0.0, kSingular);
  if (final.undetermined >= 0) return refuse(Undetermined(setup, active, final));
  if (n <= active.size()) return refuse("no more reflections than refined parameters");
  const double gof2 = chi2 / static_cast<double>(n - active.size());
  const Eigen::Index q = static_cast<Eigen::Index>(active.size());
  for (Eigen::Index a = 0; a < q; ++a)
    out.parameters[static_cast<std::size_t>(active[static_cast<std::size_t>(a)])].su = std::sqrt(gof2 * final.covariance(a, a));
  out.refinedIndex.assign(active.begin(), active.end());
  out.correlations.resize(static_cast<std::size_t>(q * q));
  for (Eigen::Index a = 0; a < q; ++a)
    for (Eigen::Index b = 0; b < q; ++b)
      out.correlations[static_cast<std::size_t>(a * q + b)] =
          final.covariance(a, b) / std::sqrt(final.covariance(a, a) * final.covariance(b, b));

  // The other minima found, and whether one of them fits as well.
  for (const LocalFit& fit : fits) {
    if (!fit.converged) continue;
    RefinementCandidate candidate;
    candidate.chi2 = fit.chi2;
    candidate.values.assign(fit.v.data(), fit.v.data() + fit.v.size());
    double farthest = 0.0;
    for (std::size_t k = 0; k < p; ++k) {
      const double su = out.parameters[k].su;
      const double d = std::fabs(fit.v(static_cast<Eigen::Index>(k)) - v(static_cast<Eigen::Index>(k)));
      farthest = std::max(farthest, su > 0.0 ? d / su : (d > 1e-9 * (std::fabs(v(static_cast<Eigen::Index>(k))) + 1e-6) ? 1e9 : 0.0));
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
    if (c.chi2 - chi2 < kAmbiguousChi2 * gof2) {
      std::string values;
      for (std::size_t k = 0; k < p; ++k)
        values += (k ? ", " : "") + out.parameters[k].name + " = " + ShortestText(c.values[k]);
      return refuse("two solutions fit the data equally well: sum w d^2 = " + ShortestText(chi2) + " and " +
                    ShortestText(c.chi2) + " (" + values + ")");
    }

  out.refined = problem.StateAt(v);
  out.chi2 = chi2;
  out.observations = n;
  out.refinedParameters = active.size();
  out.gof = std::sqrt(gof2);
  const double sumWI2 = (w.array() * observed.array().square()).sum();
  out.wR2 = sumWI2 > 0.0 ? std::sqrt(chi2 / sumWI2) : 0.0;
  double r1Num = 0.0, r1Den = 0.0;
  const std::vector<std::complex<double>> f = problem.Calc().StructureFactors(out.refined);
  for (std::size_t i = 0; i < n; ++i) {
    const MergedReflection& r = setup.data.reflections[i];
    const Eigen::Index ii = static_cast<Eigen::Index>(i);
    FittedReflection fit{r.h, r.intensity, r.sigma, calculated(ii), w(ii), problem.Calc().Resolution(i), f[i],
                         r.members.size()};
    out.reflections.push_back(fit);
    if (r.intensity > 2.0 * r.sigma) {
      ++out.strongObservations;
      r1Num += std::fabs(std::sqrt(r.intensity) - std::sqrt(std::max(calculated(ii), 0.0)));
      r1Den += std::sqrt(r.intensity);
    }
  }
  out.r1 = r1Den > 0.0 ? r1Num / r1Den : 0.0;
  std::vector<std::size_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  auto misfit = [&](std::size_t i) {
    const double r = residual(static_cast<Eigen::Index>(i));
    return w(static_cast<Eigen::Index>(i)) * r * r;
  };
  const std::size_t shown = std::min<std::size_t>(20, n);
  std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(shown), order.end(),
                    [&](std::size_t a, std::size_t b) { return misfit(a) > misfit(b); });
  out.worst.assign(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(shown));
  out.status = RefinementStatus::Refined;
  return out;
}

}  // namespace lumora
