#include "refine/whole_pattern_fit.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/least_squares.hpp"
#include "powder/powder_lines.hpp"
#include "powder/powder_profile.hpp"

namespace lumora {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
const double kLn2 = std::log(2.0);

// The pseudo-Voigt's parts at x for FWHM h, with their derivatives by x and h.
struct Shape {
  double g, l, gx, lx, gh, lh;
};
Shape ShapeAt(double x, double h) {
  Shape s;
  const double r2 = 4.0 * x * x / (h * h);
  s.g = (2.0 / h) * std::sqrt(kLn2 / std::numbers::pi) * std::exp(-kLn2 * r2);
  s.gx = s.g * (-8.0 * kLn2 * x / (h * h));
  s.gh = s.g * (-1.0 / h + 8.0 * kLn2 * x * x / (h * h * h));
  const double d = 1.0 + r2;
  s.l = (2.0 / (std::numbers::pi * h)) / d;
  s.lx = s.l * (-8.0 * x / (h * h)) / d;
  s.lh = s.l * (-1.0 / h + (8.0 * x * x / (h * h * h)) / d);
  return s;
}

// Chebyshev polynomials T_0 .. T_{terms-1} at x in [-1, 1].
void Chebyshev(double x, int terms, double* out) {
  for (int j = 0; j < terms; ++j) out[j] = j == 0 ? 1.0 : j == 1 ? x : 2.0 * x * out[j - 1] - out[j - 2];
}

// The columns of the free parameters of each kind (-1: not free).
struct Columns {
  int scale = -1, zero = -1, a = -1, c = -1, u = -1, v = -1, w = -1, eta = -1;
  std::vector<int> background;
  std::vector<FreeParameter> structure;  // the structure's free parameters, in order
  std::vector<int> structureColumn;      // their columns
};

Columns ColumnsOf(const std::vector<FreeParameter>& free, int terms) {
  Columns c;
  c.background.assign(static_cast<std::size_t>(terms), -1);
  for (std::size_t k = 0; k < free.size(); ++k) {
    const int col = static_cast<int>(k);
    const ParameterRef& ref = free[k].members.front();
    switch (ref.kind) {
      case ParameterKind::Scale: c.scale = col; break;
      case ParameterKind::Zero: c.zero = col; break;
      case ParameterKind::LatticeA: c.a = col; break;
      case ParameterKind::LatticeC: c.c = col; break;
      case ParameterKind::CagliotiU: c.u = col; break;
      case ParameterKind::CagliotiV: c.v = col; break;
      case ParameterKind::CagliotiW: c.w = col; break;
      case ParameterKind::Eta: c.eta = col; break;
      case ParameterKind::Background:
        for (const ParameterRef& m : free[k].members) c.background[static_cast<std::size_t>(m.site)] = col;
        break;
      default:
        c.structure.push_back(free[k]);
        c.structureColumn.push_back(col);
        break;
    }
  }
  return c;
}

}  // namespace

double LorentzPolarisationSlope(double twoTheta, double monochromatorTwoTheta, bool polarised) {
  const double t = twoTheta * kDegree;
  const double lorentzLogSlope = -1.0 / std::tan(t / 2.0) + std::tan(t / 2.0) / 2.0;
  if (!polarised) return LorentzFactor(twoTheta) * lorentzLogSlope * kDegree;
  const double cosM = std::cos(monochromatorTwoTheta * kDegree);
  const double k = cosM * cosM;
  const double c = std::cos(t);
  const double logSlope = -k * std::sin(2.0 * t) / (1.0 + k * c * c) + lorentzLogSlope;
  return LorentzPolarisation(twoTheta, monochromatorTwoTheta) * logSlope * kDegree;
}

std::variant<WholePatternModel, std::string> WholePatternModel::Make(const WholePatternSetup& setup) {
  WholePatternModel model;
  model.setup_ = &setup;
  const MeasuredPattern& m = setup.measured;
  const std::size_t n = m.twoTheta.size();
  if (n < 2) return std::string("the measured pattern has fewer than 2 points");
  if (setup.lines.empty()) return std::string("the run has no lines in the pattern's range");
  std::vector<std::vector<IndexVector>> members;
  for (const OrbitLine& line : setup.lines) members.push_back(line.members);
  // The structure factors need the lattice's basis; the positions come from the lines.
  auto made = CalculatedIntensities::Make(setup.lattice, Radiation{setup.radiation, setup.wavelength, 0.0},
                                          setup.start.model, members);
  if (const std::string* error = std::get_if<std::string>(&made)) return *error;
  model.intensities_ = std::make_shared<const CalculatedIntensities>(std::get<CalculatedIntensities>(std::move(made)));
  model.weights_.resize(static_cast<Eigen::Index>(n));
  for (std::size_t i = 0; i < n; ++i) {
    const double sigma = m.sigma.empty() ? std::sqrt(std::max(m.intensity[i], 1.0)) : m.sigma[i];
    model.weights_(static_cast<Eigen::Index>(i)) = 1.0 / (sigma * sigma);
  }
  const int terms = static_cast<int>(setup.start.pattern.background.size());
  model.chebyshev_.resize(static_cast<Eigen::Index>(n), terms);
  const double low = m.twoTheta.front(), high = m.twoTheta.back();
  std::vector<double> t(static_cast<std::size_t>(std::max(terms, 1)));
  for (std::size_t i = 0; i < n; ++i) {
    Chebyshev(2.0 * (m.twoTheta[i] - low) / (high - low) - 1.0, terms, t.data());
    for (int j = 0; j < terms; ++j) model.chebyshev_(static_cast<Eigen::Index>(i), j) = t[static_cast<std::size_t>(j)];
  }
  return model;
}

PatternCalculation WholePatternModel::Calculate(const ModelState& state, const std::vector<FreeParameter>& free,
                                                Eigen::MatrixXd* jacobian) const {
  const WholePatternSetup& setup = *setup_;
  const std::vector<double>& x = setup.measured.twoTheta;
  const Eigen::Index n = static_cast<Eigen::Index>(x.size());
  const PatternState& p = state.pattern;
  const int terms = static_cast<int>(chebyshev_.cols());
  const Columns col = ColumnsOf(free, terms);
  PatternCalculation out;
  out.background = chebyshev_ * Eigen::Map<const Eigen::VectorXd>(p.background.data(), terms);
  out.total = out.background;
  if (jacobian) {
    jacobian->setZero(n, static_cast<Eigen::Index>(free.size()));
    for (int j = 0; j < terms; ++j)
      if (col.background[static_cast<std::size_t>(j)] >= 0) jacobian->col(col.background[static_cast<std::size_t>(j)]) += chebyshev_.col(j);
  }

  // The lines' |F|^2 sums and their derivatives by the structure's parameters.
  ModelState unit = state;
  unit.scale = 1.0;
  unit.extinction = 0.0;
  std::vector<double> meanF2;
  Eigen::MatrixXd structure;
  intensities_->Evaluate(unit, col.structure, meanF2, jacobian && !col.structure.empty() ? &structure : nullptr);

  const double cut = setup.cutWidths;
  // Area of the pseudo-Voigt within +-cut FWHM: the same for every width.
  const double areaL = 2.0 / std::numbers::pi * std::atan(2.0 * cut);
  const double areaG = std::erf(2.0 * cut * std::sqrt(kLn2));
  const double area = p.eta * areaL + (1.0 - p.eta) * areaG;
  std::vector<std::pair<double, double>> waves;  // wavelength, share
  if (setup.doublet) waves = {{(*setup.doublet)[0], 2.0 / 3.0}, {(*setup.doublet)[1], 1.0 / 3.0}};
  else waves = {{setup.wavelength, 1.0}};
  const double low = x.front(), high = x.back();
  const double nan = std::nan("");

  for (std::size_t k = 0; k < setup.lines.size(); ++k) {
    const OrbitLine& line = setup.lines[k];
    const double multiplicity = static_cast<double>(line.members.size());
    const double intensity = multiplicity * meanF2[k];
    const double t0 = LineTwoTheta(line.place, p.a, p.c, setup.wavelength);
    if (!(t0 > 0.0 && t0 < 179.9)) continue;
    const bool polarised = setup.radiation == RadiationKind::XRay;
    const double lp = polarised ? LorentzPolarisation(t0, setup.monochromatorTwoTheta) : LorentzFactor(t0);
    const double lpSlope = LorentzPolarisationSlope(t0, setup.monochromatorTwoTheta, polarised);
    const std::array<double, 2> t0Slopes = LineSlopes(line.place, p.a, p.c, setup.wavelength);
    for (const auto& [lambda, share] : waves) {
      const double tl = LineTwoTheta(line.place, p.a, p.c, lambda);
      if (!(tl > 0.0 && tl < 180.0)) continue;
      const double centre = tl + p.zero;
      const double tanHalf = std::tan(0.5 * centre * kDegree);
      const double h2 = p.u * tanHalf * tanHalf + p.v * tanHalf + p.w;
      const double reachGuess = h2 > 0.0 ? cut * std::sqrt(h2) : 0.0;
      if (centre + reachGuess < low || centre - reachGuess > high) continue;
      if (!(h2 > 0.0)) {  // no width: the model has no value here
        out.total.setConstant(nan);
        return out;
      }
      const double h = std::sqrt(h2);
      const double dhdc = (2.0 * p.u * tanHalf + p.v) * (1.0 + tanHalf * tanHalf) * 0.5 * kDegree / (2.0 * h);
      const std::array<double, 2> slopes = LineSlopes(line.place, p.a, p.c, lambda);
      const double perIntensity = state.scale * lp * share / area;
      const double amplitude = perIntensity * intensity;
      const auto first = std::lower_bound(x.begin(), x.end(), centre - cut * h);
      const auto last = std::upper_bound(x.begin(), x.end(), centre + cut * h);
      for (auto it = first; it != last; ++it) {
        const Eigen::Index i = static_cast<Eigen::Index>(it - x.begin());
        const Shape s = ShapeAt(*it - centre, h);
        const double pv = p.eta * s.l + (1.0 - p.eta) * s.g;
        out.total(i) += amplitude * pv;
        if (!jacobian) continue;
        const double pvx = p.eta * s.lx + (1.0 - p.eta) * s.gx;
        const double pvh = p.eta * s.lh + (1.0 - p.eta) * s.gh;
        // d/d(centre): the shift and the width's change with position.
        const double perCentre = amplitude * (-pvx + pvh * dhdc);
        auto add = [&](int column, double value) {
          if (column >= 0) (*jacobian)(i, column) += value;
        };
        add(col.scale, lp * intensity * share / area * pv);
        add(col.zero, perCentre);
        const double perLp = amplitude * pv / lp * lpSlope;  // LP moves with the line at the run's wavelength
        add(col.a, perCentre * slopes[0] + perLp * t0Slopes[0]);
        add(col.c, perCentre * slopes[1] + perLp * t0Slopes[1]);
        add(col.u, amplitude * pvh * tanHalf * tanHalf / (2.0 * h));
        add(col.v, amplitude * pvh * tanHalf / (2.0 * h));
        add(col.w, amplitude * pvh / (2.0 * h));
        add(col.eta, amplitude * ((s.l - s.g) - pv * (areaL - areaG) / area));
        for (std::size_t m = 0; m < col.structure.size(); ++m)
          add(col.structureColumn[m],
              perIntensity * multiplicity * structure(static_cast<Eigen::Index>(k), static_cast<Eigen::Index>(m)) * pv);
      }
    }
  }
  return out;
}

WholePatternOutcome FitWholePattern(const WholePatternSetup& setup) {
  WholePatternOutcome out;
  out.refined = setup.start;
  out.radiation = setup.radiation;
  const std::size_t p = setup.free.size();
  FitModel fit;
  fit.observationsNoun = "points";
  Eigen::VectorXd start(static_cast<Eigen::Index>(p));
  for (std::size_t k = 0; k < p; ++k) {
    RefinedValue value;
    value.name = FreeParameterName(setup.free[k], setup.start.model);
    value.kind = setup.free[k].members.front().kind;
    value.start = value.value = ValueOf(setup.start, setup.free[k].members.front());
    out.parameters.push_back(value);
    fit.names.push_back(value.name);
    fit.bounds.push_back(BoundsOf(value.kind));
    start(static_cast<Eigen::Index>(k)) = value.start;
  }
  auto made = WholePatternModel::Make(setup);
  if (const std::string* error = std::get_if<std::string>(&made)) {
    out.error = *error;
    return out;
  }
  const WholePatternModel& model = std::get<WholePatternModel>(made);
  const MeasuredPattern& m = setup.measured;
  fit.observed = Eigen::Map<const Eigen::VectorXd>(m.intensity.data(), static_cast<Eigen::Index>(m.intensity.size()));
  const Eigen::VectorXd weights = model.Weights();
  fit.calculate = [&](const Eigen::VectorXd& v, Eigen::MatrixXd* jacobian) {
    return model.Calculate(StateAt(setup.start, setup.free, v), setup.free, jacobian).total;
  };
  fit.weights = [&](const Eigen::VectorXd&) { return weights; };
  // The scale and the background enter linearly: each descent starts at
  // their weighted least-squares values for the other parameters.
  fit.prepare = [&](Eigen::VectorXd& v) {
    std::vector<Eigen::Index> linear;
    for (std::size_t k = 0; k < p; ++k)
      if (out.parameters[k].kind == ParameterKind::Scale ||
          (out.parameters[k].kind == ParameterKind::Background && setup.free[k].members.size() == 1))
        linear.push_back(static_cast<Eigen::Index>(k));
    if (linear.empty()) return;
    Eigen::MatrixXd jacobian;
    const Eigen::VectorXd y = fit.calculate(v, &jacobian);
    if (!y.allFinite()) return;
    Eigen::MatrixXd j(jacobian.rows(), static_cast<Eigen::Index>(linear.size()));
    Eigen::VectorXd current(static_cast<Eigen::Index>(linear.size()));
    for (std::size_t a = 0; a < linear.size(); ++a) {
      j.col(static_cast<Eigen::Index>(a)) = jacobian.col(linear[a]);
      current(static_cast<Eigen::Index>(a)) = v(linear[a]);
    }
    // y is linear in these: y = y_rest + J current; solve for the best values.
    const Eigen::VectorXd rest = y - j * current;
    const NormalStep step = SolveNormal(j.transpose() * weights.asDiagonal() * j,
                                        j.transpose() * (weights.array() * (fit.observed - rest).array()).matrix());
    if (step.undetermined >= 0) return;
    for (std::size_t a = 0; a < linear.size(); ++a) v(linear[a]) = step.shift(static_cast<Eigen::Index>(a));
    v = ClampToBounds(v, fit.bounds);
  };
  fit.searchStart = [&](const Eigen::VectorXd& s, std::mt19937& random) {
    return StructureSearchStart(setup.free, s, random);
  };
  const bool anyStructure = std::any_of(out.parameters.begin(), out.parameters.end(),
                                        [](const RefinedValue& v) { return IsStructureKind(v.kind); });
  FitControl control;
  control.maxIterations = setup.maxIterations;
  control.searchStarts = anyStructure ? setup.searchStarts : 0;
  control.seed = setup.searchSeed;
  control.progress = setup.progress;
  control.cancel = setup.cancel;
  const FitResult result = FitLeastSquares(fit, start, control);
  if (!TakeFit(result, setup.start, setup.free, out)) return out;
  const PatternCalculation calc = model.Calculate(out.refined, setup.free, nullptr);
  const std::size_t n = m.twoTheta.size();
  out.points = n;
  double sumAbs = 0.0, sumObs = 0.0, sumWObs2 = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const Eigen::Index ii = static_cast<Eigen::Index>(i);
    sumAbs += std::fabs(m.intensity[i] - calc.total(ii));
    sumObs += std::fabs(m.intensity[i]);
    sumWObs2 += weights(ii) * m.intensity[i] * m.intensity[i];
  }
  const double dof = static_cast<double>(n - out.refinedParameters);
  out.rp = sumObs > 0.0 ? sumAbs / sumObs : 0.0;
  out.rwp = sumWObs2 > 0.0 ? std::sqrt(result.chi2 / sumWObs2) : 0.0;
  out.rexp = sumWObs2 > 0.0 ? std::sqrt(dof / sumWObs2) : 0.0;
  out.chi2 = result.chi2 / dof;
  out.twoTheta = m.twoTheta;
  out.observed = m.intensity;
  out.calculated.assign(calc.total.data(), calc.total.data() + calc.total.size());
  out.background.assign(calc.background.data(), calc.background.data() + calc.background.size());
  const PatternState& ps = out.refined.pattern;
  for (const OrbitLine& line : setup.lines) {
    const double t = LineTwoTheta(line.place, ps.a, ps.c, setup.doublet ? (*setup.doublet)[0] : setup.wavelength);
    if (std::isfinite(t) && t + ps.zero >= m.twoTheta.front() && t + ps.zero <= m.twoTheta.back())
      out.lineTwoTheta.push_back(t + ps.zero);
  }
  out.status = RefinementStatus::Refined;
  return out;
}

}  // namespace lumora
