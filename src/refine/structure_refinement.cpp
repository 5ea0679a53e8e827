#include "refine/structure_refinement.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <random>

#include "common/number_text.hpp"
#include "refine/calculated_intensities.hpp"

namespace lumora {
namespace {

// The search's ranges: occupancy, B_par and B_perp up to twice the start or
// these (A^2), sizes within these factors of the start.
constexpr double kSearchOccupancy[2] = {0.2, 1.0};
constexpr double kSearchBPar = 3.0;
constexpr double kSearchBPerp = 5.0;
constexpr double kSearchSize[2] = {0.75, 1.33};

}  // namespace

ModelState StateAt(const ModelState& start, const std::vector<FreeParameter>& free, const Eigen::VectorXd& v) {
  ModelState state = start;
  for (std::size_t k = 0; k < free.size(); ++k)
    for (const ParameterRef& ref : free[k].members) SetValue(state, ref, v(static_cast<Eigen::Index>(k)));
  return state;
}

Eigen::VectorXd StructureSearchStart(const std::vector<FreeParameter>& free, const Eigen::VectorXd& start,
                                     std::mt19937& random) {
  Eigen::VectorXd v = start;
  auto uniform = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
  for (std::size_t k = 0; k < free.size(); ++k) {
    double& x = v(static_cast<Eigen::Index>(k));
    const double s = x;
    switch (free[k].members.front().kind) {
      case ParameterKind::Occupancy: x = uniform(kSearchOccupancy[0], kSearchOccupancy[1]); break;
      case ParameterKind::BPar: x = uniform(0.0, std::max(2.0 * s, kSearchBPar)); break;
      case ParameterKind::BPerp: x = uniform(0.0, std::max(2.0 * s, kSearchBPerp)); break;
      case ParameterKind::Size: x = s * uniform(kSearchSize[0], kSearchSize[1]); break;
      default: break;
    }
  }
  return v;
}

bool TakeFit(const FitResult& fit, const ModelState& start, const std::vector<FreeParameter>& free,
             FittedParameters& out) {
  out.iterations = fit.iterations;
  out.candidates = fit.candidates;
  if (fit.status != RefinementStatus::Refined) {
    out.status = fit.status;
    out.error = fit.error;
    return false;
  }
  for (std::size_t k = 0; k < out.parameters.size(); ++k) {
    out.parameters[k].value = fit.values(static_cast<Eigen::Index>(k));
    out.parameters[k].su = fit.su[k];
    out.parameters[k].atBound = fit.atBound[k];
  }
  out.refinedIndex = fit.refinedIndex;
  out.correlations = fit.correlations;
  out.maxShiftOverSu = fit.maxShiftOverSu;
  out.refinedParameters = fit.refinedIndex.size();
  out.refined = StateAt(start, free, fit.values);
  return true;
}

RefinementOutcome RefineStructure(const RefinementSetup& setup) {
  RefinementOutcome out;
  out.refined = setup.start;
  out.radiation = setup.radiation;
  const std::size_t n = setup.data.reflections.size();
  const std::size_t p = setup.free.size();
  FitModel model;
  model.observationsNoun = "reflections";
  Eigen::VectorXd start(static_cast<Eigen::Index>(p));
  for (std::size_t k = 0; k < p; ++k) {
    const FreeParameter& f = setup.free[k];
    RefinedValue value;
    value.name = FreeParameterName(f, setup.start.model);
    value.kind = f.members.front().kind;
    value.start = value.value = ValueOf(setup.start, f.members.front());
    out.parameters.push_back(value);
    model.names.push_back(value.name);
    model.bounds.push_back(BoundsOf(value.kind));
    start(static_cast<Eigen::Index>(k)) = value.start;
  }
  auto refuse = [&](std::string why) {
    out.status = RefinementStatus::Refused;
    out.error = std::move(why);
    return out;
  };
  if (!(setup.wavelength > 0.0)) return refuse("the wavelength must be above 0");
  std::optional<CalculatedIntensities> made;
  if (p > 0 && n > p) {  // else the fit refuses, saying why
    std::vector<std::vector<IndexVector>> members;
    for (const MergedReflection& r : setup.data.reflections) members.push_back(r.members);
    auto placed = CalculatedIntensities::Make(setup.lattice, Radiation{setup.radiation, setup.wavelength, 0.0},
                                              setup.start.model, members);
    if (const std::string* error = std::get_if<std::string>(&placed)) return refuse(*error);
    made = std::get<CalculatedIntensities>(std::move(placed));
  }

  model.observed.resize(static_cast<Eigen::Index>(n));
  Eigen::VectorXd sigma(static_cast<Eigen::Index>(n));
  for (std::size_t i = 0; i < n; ++i) {
    model.observed(static_cast<Eigen::Index>(i)) = setup.data.reflections[i].intensity;
    sigma(static_cast<Eigen::Index>(i)) = setup.data.reflections[i].sigma;
  }
  const CalculatedIntensities* calc = made ? &*made : nullptr;
  model.calculate = [&](const Eigen::VectorXd& v, Eigen::MatrixXd* jacobian) {
    std::vector<double> intensity;
    calc->Evaluate(StateAt(setup.start, setup.free, v), setup.free, intensity, jacobian);
    return Eigen::VectorXd(Eigen::Map<const Eigen::VectorXd>(intensity.data(), static_cast<Eigen::Index>(intensity.size())));
  };
  model.weights = [&](const Eigen::VectorXd& calculated) {
    const Weighting& s = setup.weighting;
    Eigen::VectorXd w(calculated.size());
    for (Eigen::Index i = 0; i < w.size(); ++i) {
      const double pw = (std::max(model.observed(i), 0.0) + 2.0 * calculated(i)) / 3.0;
      w(i) = 1.0 / (sigma(i) * sigma(i) + s.a * s.a * pw * pw + s.b * pw);
    }
    return w;
  };
  // The scale enters linearly: each descent starts at its least-squares value.
  model.prepare = [&](Eigen::VectorXd& v) {
    for (std::size_t k = 0; k < p; ++k)
      if (out.parameters[k].kind == ParameterKind::Scale) {
        const Eigen::VectorXd calculated = model.calculate(v, nullptr);
        const Eigen::VectorXd w = model.weights(calculated);
        const double den = (w.array() * calculated.array().square()).sum();
        const double num = (w.array() * calculated.array() * model.observed.array()).sum();
        if (den > 0.0 && num > 0.0) v(static_cast<Eigen::Index>(k)) *= num / den;
      }
  };
  model.searchStart = [&](const Eigen::VectorXd& s, std::mt19937& random) {
    return StructureSearchStart(setup.free, s, random);
  };
  FitControl control;
  control.maxIterations = setup.maxIterations;
  control.searchStarts = setup.searchStarts;
  control.seed = setup.searchSeed;
  control.progress = setup.progress;
  control.cancel = setup.cancel;

  const FitResult fit = FitLeastSquares(model, start, control);
  if (!TakeFit(fit, setup.start, setup.free, out)) return out;
  out.chi2 = fit.chi2;
  out.observations = n;
  out.gof = fit.gof;
  const Eigen::VectorXd& calculated = fit.calculated;
  const Eigen::VectorXd& w = fit.weights;
  const Eigen::VectorXd residual = model.observed - calculated;
  const double sumWI2 = (w.array() * model.observed.array().square()).sum();
  out.wR2 = sumWI2 > 0.0 ? std::sqrt(fit.chi2 / sumWI2) : 0.0;
  double r1Num = 0.0, r1Den = 0.0;
  const std::vector<std::complex<double>> f = calc->StructureFactors(out.refined);
  for (std::size_t i = 0; i < n; ++i) {
    const MergedReflection& r = setup.data.reflections[i];
    const Eigen::Index ii = static_cast<Eigen::Index>(i);
    out.reflections.push_back(
        {r.h, r.intensity, r.sigma, calculated(ii), w(ii), calc->Resolution(i), f[i], r.members.size()});
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
