#include "refine/structure_refinement.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

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

  Eigen::VectorXd v(static_cast<Eigen::Index>(p));
  for (std::size_t k = 0; k < p; ++k) v(static_cast<Eigen::Index>(k)) = out.parameters[k].start;
  v = problem.Clamp(v);
  // The scale enters linearly: start it at its least-squares value.
  for (std::size_t k = 0; k < p; ++k)
    if (out.parameters[k].kind == ParameterKind::Scale) {
      const Eigen::VectorXd calculated = problem.Calculate(v, nullptr);
      const Eigen::VectorXd w = problem.Weights(calculated);
      const double den = (w.array() * calculated.array().square()).sum();
      const double num = (w.array() * calculated.array() * observed.array()).sum();
      if (den > 0.0 && num > 0.0) v(static_cast<Eigen::Index>(k)) *= num / den;
    }

  double damping = kStartDamping;
  bool converged = false;
  Eigen::MatrixXd jacobian;
  for (int iteration = 0; iteration < setup.maxIterations && !converged; ++iteration) {
    if (setup.cancel && setup.cancel->load()) {
      out.status = RefinementStatus::Cancelled;
      out.error = "cancelled";
      return out;
    }
    const Eigen::VectorXd calculated = problem.Calculate(v, &jacobian);
    const Eigen::VectorXd w = problem.Weights(calculated);
    const double chi2 = (w.array() * (observed - calculated).array().square()).sum();
    const Eigen::MatrixXd normal = jacobian.transpose() * w.asDiagonal() * jacobian;
    const Eigen::VectorXd gradient = jacobian.transpose() * (w.array() * (observed - calculated).array()).matrix();
    std::vector<Eigen::Index> active = ActiveSet(problem, v, gradient);
    // A parameter the data do not fix here is held for this step; the end decides.
    NormalStep step;
    for (;;) {
      if (active.empty()) break;
      step = SolveNormal(Select(normal, active), Select(gradient, active), 0.0, kSingular);
      if (step.undetermined < 0) break;
      active.erase(active.begin() + step.undetermined);
    }
    out.iterations = iteration + 1;
    if (active.empty()) {
      converged = true;
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
          const double su = std::sqrt(std::max(variance, 0.0) * step.covariance(static_cast<Eigen::Index>(a),
                                                                                 static_cast<Eigen::Index>(a)));
          const double floor = 1e-9 * (std::fabs(v(k)) + 1e-3);
          largest = std::max(largest, std::fabs(trial(k) - v(k)) / std::max(su, floor));
        }
        out.maxShiftOverSu = largest;
        converged = largest < kShiftOverSu || chi2 - trialChi2 <= 1e-14 * chi2;
        v = trial;
        damping = std::max(damping / 10.0, 1e-9);
        break;
      }
      damping *= 10.0;
      if (damping > kLargestDamping) {
        converged = true;  // no step lowers the sum any more
        break;
      }
    }
    if (setup.progress) setup.progress(out.iterations, chi2);
  }
  if (!converged)
    return refuse("did not converge in " + std::to_string(setup.maxIterations) + " iterations (largest shift " +
                  ShortestText(out.maxShiftOverSu) + " su)");

  // The solution: its uncertainties, statistics and fit.
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
  auto misfit = [&](std::size_t i) { return w(static_cast<Eigen::Index>(i)) * residual(static_cast<Eigen::Index>(i)) * residual(static_cast<Eigen::Index>(i)); };
  const std::size_t shown = std::min<std::size_t>(20, n);
  std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(shown), order.end(),
                    [&](std::size_t a, std::size_t b) { return misfit(a) > misfit(b); });
  out.worst.assign(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(shown));
  out.status = RefinementStatus::Refined;
  return out;
}

}  // namespace lumora
