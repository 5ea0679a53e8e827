#include "powder/powder_refinement.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string_view>

#include "common/number_text.hpp"
#include "powder/normal_equations.hpp"
#include "powder/peak_indexing.hpp"
#include "powder/refinement_start.hpp"
#include "powder/scalable_lines.hpp"

namespace lumora {
namespace {

// Indexing and refinement alternate at most this often before giving up.
constexpr int kMaxIndexingRounds = 10;

enum Parameter { kA = 0, kC = 1, kZero = 2 };
constexpr const char* kParameterNames[] = {"a", "c", "zero"};

struct State {
  double a = 0.0, c = 0.0, zero = 0.0;
  double& operator[](int k) { return k == kA ? a : k == kC ? c : zero; }
};

struct Problem {
  const std::vector<ScalableLine>& lines;
  const std::vector<double>& observed;
  double wavelength;
  bool hasC;              // the axial systems
  std::vector<int> free;  // refined parameters, in the order a, c, zero
  double second = 0.0;    // K-alpha2, or 0

  // Candidate m of the indexing: line m at the first wavelength, and with a
  // second one, line m - lines.size() at that.
  const ScalableLine& line(int m) const { return lines[static_cast<std::size_t>(m) % lines.size()]; }
  double wavelengthOf(int m) const { return static_cast<std::size_t>(m) < lines.size() ? wavelength : second; }
  double twoTheta(int m, const State& s) const;
};

double Problem::twoTheta(int m, const State& s) const { return LineTwoTheta(line(m), s.a, s.c, wavelengthOf(m)) + s.zero; }

std::vector<double> Positions(const Problem& problem, const State& s) {
  std::vector<double> positions(problem.lines.size() * (problem.second > 0.0 ? 2 : 1));
  for (std::size_t i = 0; i < positions.size(); ++i) positions[i] = problem.twoTheta(static_cast<int>(i), s);
  return positions;
}

std::size_t CountIndexed(const std::vector<int>& match) {
  return static_cast<std::size_t>(std::count_if(match.begin(), match.end(), [](int m) { return m >= 0; }));
}

// Jacobian rows and residuals obs - calc of the indexed peaks at s.
void Linearise(const Problem& problem, const std::vector<int>& match, const State& s,
               std::vector<std::vector<double>>& jacobian, std::vector<double>& residuals) {
  jacobian.clear();
  residuals.clear();
  for (std::size_t k = 0; k < match.size(); ++k) {
    if (match[k] < 0) continue;
    const std::array<double, 2> slopes =
        LineSlopes(problem.line(match[k]), s.a, s.c, problem.wavelengthOf(match[k]));
    std::vector<double> row;
    for (int p : problem.free) row.push_back(p == kZero ? 1.0 : slopes[static_cast<std::size_t>(p)]);
    jacobian.push_back(std::move(row));
    residuals.push_back(problem.observed[k] - problem.twoTheta(match[k], s));
  }
}

std::vector<double> Scales(const Problem& problem, const State& s) {
  std::vector<double> scale;
  for (int p : problem.free) scale.push_back(p == kA ? s.a : p == kC ? s.c : 1.0);
  return scale;
}

// How every error of a parameter the indexed peaks do not fix begins.
constexpr std::string_view kSingular = "singular normal matrix: ";

std::string Undetermined(int parameter) {
  return std::string(kSingular) + kParameterNames[parameter] +
         " is not determined by the indexed peaks" + (parameter == kC ? " (no indexed line has a z component)" : "");
}

// Gauss-Newton on a fixed indexing, from s; counts its steps in iterations.
std::string GaussNewton(const Problem& problem, const std::vector<int>& match, State& s, int maxIterations,
                        int& iterations) {
  std::vector<std::vector<double>> jacobian;
  std::vector<double> residuals;
  for (;;) {
    if (iterations >= maxIterations) return "did not converge in " + std::to_string(maxIterations) + " iterations";
    Linearise(problem, match, s, jacobian, residuals);
    const NormalSolution step = SolveNormalEquations(jacobian, residuals, Scales(problem, s));
    if (step.undetermined >= 0) return Undetermined(problem.free[static_cast<std::size_t>(step.undetermined)]);
    ++iterations;
    bool converged = true;
    for (std::size_t j = 0; j < problem.free.size(); ++j) {
      const int p = problem.free[j];
      s[p] += step.shift[j];
      converged = converged && std::fabs(step.shift[j]) <= (p == kZero ? 1e-9 : 1e-10 * std::fabs(s[p]));
    }
    if (!(s.a > 0.0 && std::isfinite(s.a) && (!problem.hasC || (s.c > 0.0 && std::isfinite(s.c))) &&
          std::isfinite(s.zero)))
      return "diverged (a = " + ShortestText(s.a) + ", c = " + ShortestText(s.c) + ", zero = " + ShortestText(s.zero) +
             ")";
    for (std::size_t k = 0; k < match.size(); ++k)
      if (match[k] >= 0 &&
          !std::isfinite(problem.twoTheta(match[k], s)))
        return "diverged (a = " + ShortestText(s.a) + " puts an indexed line beyond 2theta = 180)";
    if (converged) return {};
  }
}

// The indexed and unindexed peaks at s.
void Describe(const Problem& problem, const std::vector<int>& match, const State& s, RefinementResult& result) {
  result.indexed.clear();
  result.unindexed.clear();
  for (std::size_t k = 0; k < match.size(); ++k) {
    const double observed = problem.observed[k];
    if (match[k] < 0) {
      result.unindexed.push_back(observed);
      continue;
    }
    const ScalableLine& line = problem.line(match[k]);
    IndexedPeak peak;
    peak.observed = observed;
    peak.calculated = problem.twoTheta(match[k], s);
    peak.secondWavelength = problem.wavelengthOf(match[k]) != problem.wavelength;
    peak.difference = observed - peak.calculated;
    peak.index = line.index;
    peak.multiplicity = line.multiplicity;
    peak.d = 1.0 / LineQ(line, s.a, s.c);
    result.indexed.push_back(peak);
  }
}

std::string CheckRequest(const std::vector<double>& observed, const CalculationInputs& inputs,
                         const LineOptions& lineOptions, const RefineOptions& options) {
  const bool icosahedral = inputs.system == CrystalSystem::Icosahedral;
  for (double t : observed)
    if (!(t > 0.0 && t < 180.0)) return "observed 2theta " + ShortestText(t) + " is not above 0 and below 180 degrees";
  if (!(inputs.a > 0.0 && std::isfinite(inputs.a))) return "a " + ShortestText(inputs.a) + " is not above 0";
  if (!icosahedral && !(inputs.c > 0.0 && std::isfinite(inputs.c)))
    return "c " + ShortestText(inputs.c) + " is not above 0";
  if (!(inputs.wavelength > 0.0 && std::isfinite(inputs.wavelength)))
    return "wavelength " + ShortestText(inputs.wavelength) + " is not above 0";
  if (const std::string problem = CheckLineOptions(lineOptions); !problem.empty()) return problem;
  if (!(options.tolerance > 0.0 && options.tolerance < 180.0))
    return "index tolerance " + ShortestText(options.tolerance) + " is not above 0 and below 180 degrees";
  if (options.maxIterations < 1) return "iterations " + std::to_string(options.maxIterations) + " is not at least 1";
  if (!std::isfinite(options.zero)) return "zero shift is not a number";
  if (!(options.secondWavelength >= 0.0 && std::isfinite(options.secondWavelength)))
    return "second wavelength " + ShortestText(options.secondWavelength) + " is not 0 or above";
  if (options.refineC && icosahedral) return "c cannot be refined: the icosahedral system has no c";
  if (!options.refineA && !options.refineC && !options.refineZero) return "nothing to refine";
  if (observed.size() < 3) return "fewer than 3 peaks";
  return {};
}

// Indexing and refinement from begin; on failure the result keeps the start
// values it came with and the indexing at begin.
RefinementResult RefineFrom(const Problem& problem, const State& begin, const RefineOptions& options,
                            RefinementResult result) {
  const std::vector<double>& observed = problem.observed;
  const std::size_t needed = std::max<std::size_t>(3, problem.free.size() + 1);

  std::vector<int> match = IndexPeaks(observed, Positions(problem, begin), options.tolerance);
  Describe(problem, match, begin, result);
  State s = begin;
  bool settled = false;
  std::string error;
  for (int round = 0; round < kMaxIndexingRounds && !settled && error.empty(); ++round) {
    const std::size_t indexed = CountIndexed(match);
    if (indexed < needed) {
      error = "only " + std::to_string(indexed) + " of " + std::to_string(observed.size()) +
              " peaks indexed within " + ShortestText(options.tolerance) + " degrees; " +
              std::to_string(problem.free.size()) + " refined parameters need at least " + std::to_string(needed);
      break;
    }
    error = GaussNewton(problem, match, s, options.maxIterations, result.iterations);
    if (!error.empty()) break;
    std::vector<int> again = IndexPeaks(observed, Positions(problem, s), options.tolerance);
    settled = again == match;
    match = std::move(again);
  }
  if (error.empty() && !settled) error = "did not converge: the indexing kept changing";
  if (!error.empty()) {
    result.error = error;
    return result;  // the start values and their indexing
  }

  // Standard uncertainties at the solution.
  std::vector<std::vector<double>> jacobian;
  std::vector<double> residuals;
  Linearise(problem, match, s, jacobian, residuals);
  const NormalSolution final = SolveNormalEquations(jacobian, residuals, Scales(problem, s));
  if (final.undetermined >= 0) {
    result.error = Undetermined(problem.free[static_cast<std::size_t>(final.undetermined)]);
    return result;
  }
  const double sumSquares = std::inner_product(residuals.begin(), residuals.end(), residuals.begin(), 0.0);
  const double variance = sumSquares / static_cast<double>(residuals.size() - problem.free.size());
  const std::size_t p = problem.free.size();
  double* su[] = {&result.aSu, &result.cSu, &result.zeroSu};
  for (std::size_t j = 0; j < p; ++j) *su[problem.free[j]] = std::sqrt(variance * final.covariance[j * p + j]);
  result.a = s.a;
  result.c = s.c;
  result.zero = s.zero;
  Describe(problem, match, s, result);

  // F(N): the lines up to the last observed peak, each once (at the first wavelength).
  const std::vector<double> positions = Positions(problem, s);
  const double last = observed.back();
  const auto possible = std::count_if(positions.begin(), positions.begin() + static_cast<std::ptrdiff_t>(problem.lines.size()),
                                      [last](double t) { return t <= last; });
  double sumDifferences = options.tolerance * static_cast<double>(result.unindexed.size());
  for (const IndexedPeak& peak : result.indexed) sumDifferences += std::fabs(peak.difference);
  const double mean = std::max(sumDifferences / static_cast<double>(observed.size()), 1e-6);
  result.meanDifference = mean;
  result.possibleLines = static_cast<int>(possible);
  result.figureOfMerit = static_cast<double>(observed.size()) / static_cast<double>(std::max<long>(possible, 1)) / mean;
  return result;
}

// A refinement that failed for want of the right indexing, or left more than
// a tenth of the peaks unindexed, may have started too far off. One whose
// normal matrix is singular lacks peaks that fix a parameter: a search would
// only find lines that fit by chance.
bool WorthASearch(const RefinementResult& r, std::size_t peaks) {
  if (!r.error.empty()) return !r.error.starts_with(kSingular);
  return r.unindexed.size() * 10 > peaks;
}

}  // namespace

RefinementResult RefineLattice(const std::vector<double>& observedTwoTheta, const CalculationInputs& inputs,
                               const std::vector<ReflectionRecord>& records, const LineOptions& lineOptions,
                               const RefineOptions& options) {
  RefinementResult result;
  const State start{inputs.a, inputs.c, options.zero};
  result.a = start.a;
  result.c = start.c;
  result.zero = start.zero;
  result.error = CheckRequest(observedTwoTheta, inputs, lineOptions, options);
  if (!result.error.empty()) return result;

  std::vector<double> observed = observedTwoTheta;
  std::sort(observed.begin(), observed.end());
  CalculationResult run;
  if (records.empty()) {
    run = RunCalculation(inputs);
    if (run.status != RunStatus::Completed) {
      result.error = "the calculation failed: " + run.error;
      return result;
    }
  }
  const ScalableLines lines = BuildScalableLines(records.empty() ? run.records : records, inputs, lineOptions);
  if (!lines.error.empty()) {
    result.error = lines.error;
    return result;
  }

  Problem problem{lines.lines, observed, inputs.wavelength, inputs.system != CrystalSystem::Icosahedral, {},
                  options.secondWavelength};
  if (options.refineA) problem.free.push_back(kA);
  if (options.refineC) problem.free.push_back(kC);
  if (options.refineZero) problem.free.push_back(kZero);
  const RefinementResult first = RefineFrom(problem, start, options, result);
  if (options.searchRange > 0.0 && (options.refineA || options.refineC) && WorthASearch(first, observed.size())) {
    // A rough start: look for a better one on a grid and refine from there.
    const StartSearch search{options.searchRange, options.tolerance, options.refineA, options.refineC, problem.hasC};
    const StartFound found =
        FindRefinementStart(lines.lines, observed, inputs.wavelength, start.a, start.c, start.zero, search);
    if (found.a != start.a || found.c != start.c) {
      RefinementResult second = RefineFrom(problem, {found.a, found.c, start.zero}, options, result);
      if (second.error.empty() && (!first.error.empty() || second.indexed.size() > first.indexed.size()))
        return second;
    }
  }
  return first;
}

}  // namespace lumora
