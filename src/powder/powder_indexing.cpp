#include "powder/powder_indexing.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>

#include "common/number_text.hpp"
#include "powder/indexing_lines.hpp"
#include "powder/powder_refinement.hpp"

namespace lumora {
namespace {

struct Solution {
  RefinedCell cell;
  IndexingFigures figures;
  std::shared_ptr<const std::vector<ScalableLine>> lines;  // the sticks' lines
};

bool SameCell(const Solution& l, const Solution& r, bool hasC) {
  return std::fabs(l.cell.a / r.cell.a - 1.0) < 1e-4 && (!hasC || std::fabs(l.cell.c / r.cell.c - 1.0) < 1e-4) &&
         std::fabs(l.cell.zero - r.cell.zero) < 0.01;
}

int CountIndexed(const RefinedCell& cell) {
  return static_cast<int>(
      std::count_if(cell.matches.begin(), cell.matches.end(), [](const PeakMatch& m) { return m.stick >= 0; }));
}

std::string CheckRequest(const std::vector<ObservedPeak>& peaks, const CalculationInputs& inputs,
                         const WavelengthSetup& w, const LineOptions& lineOptions, const IndexingOptions& o) {
  const bool hasC = inputs.system != CrystalSystem::Icosahedral;
  for (const ObservedPeak& p : peaks) {
    if (!(p.twoTheta > 0.0 && p.twoTheta < 180.0))
      return "observed 2theta " + ShortestText(p.twoTheta) + " is not above 0 and below 180 degrees";
    if (!std::isfinite(p.intensity)) return "a peak intensity is not a number";
  }
  if (!(inputs.a > 0.0 && std::isfinite(inputs.a))) return "a " + ShortestText(inputs.a) + " is not above 0";
  if (hasC && !(inputs.c > 0.0 && std::isfinite(inputs.c))) return "c " + ShortestText(inputs.c) + " is not above 0";
  if (!(w.kAlpha1 > 0.0 && std::isfinite(w.kAlpha1))) return "wavelength " + ShortestText(w.kAlpha1) + " is not above 0";
  if (w.model == WavelengthModel::Doublet && !(w.kAlpha2 > w.kAlpha1 && w.ratio >= 0.0 && std::isfinite(w.kAlpha2)))
    return "K-alpha2 " + ShortestText(w.kAlpha2) + " is not above K-alpha1";
  if (const std::string problem = CheckLineOptions(lineOptions); !problem.empty()) return problem;
  if (!(o.tolerance > 0.0 && o.tolerance <= 10.0))
    return "index tolerance " + ShortestText(o.tolerance) + " is not above 0 and at most 10 degrees";
  if (o.maxIterations < 1) return "iterations " + std::to_string(o.maxIterations) + " is not at least 1";
  if (!std::isfinite(o.zero) || !(o.zeroRange >= 0.0) || !(o.zeroLimit >= o.zeroRange) || !std::isfinite(o.zeroLimit))
    return "zero shift " + ShortestText(o.zero) + " with range " + ShortestText(o.zeroRange) + " and limit " +
           ShortestText(o.zeroLimit) + " is not usable";
  if (o.abInitio && !(o.aLow > 0.0 && o.aLow < o.aHigh && std::isfinite(o.aHigh)))
    return "the a range " + ShortestText(o.aLow) + " to " + ShortestText(o.aHigh) + " is not a range above 0";
  if (o.abInitio && hasC && !(o.cLow > 0.0 && o.cLow < o.cHigh && std::isfinite(o.cHigh)))
    return "the c range " + ShortestText(o.cLow) + " to " + ShortestText(o.cHigh) + " is not a range above 0";
  if (!o.abInitio && !(o.neighbourhood >= 0.0 && o.neighbourhood < 0.5))
    return "the search range " + ShortestText(o.neighbourhood) + " is not from 0 to below 0.5";
  if (!o.refineA && !(o.refineC && hasC) && !o.refineZero) return "nothing to refine";
  if (!(o.peakWidth >= 0.0 && o.peakWidth < 10.0)) return "peak width " + ShortestText(o.peakWidth) + " is not usable";
  return {};
}

// The scale factors of the quasicrystal modules' self-similarities: tau
// (decagonal, icosahedral), 1 + sqrt 2 (octagonal), sqrt(2 + sqrt 3) and
// 2 + sqrt 3 (dodecagonal), and tau^2, tau^3.
constexpr double kSelfSimilarities[] = {1.6180339887498949, 2.4142135623730951, 1.9318516525781366,
                                        3.7320508075688772, 2.6180339887498949, 4.2360679774997897};

void Add(std::vector<Criterion>& list, const char* name, const char* description, double value, double limit,
         bool atLeast) {
  list.push_back({name, description, value, limit, atLeast, atLeast ? value >= limit : value <= limit});
}

}  // namespace

std::string Criterion::Text() const {
  return description + " = " + ShortestText(std::round(value * 1000.0) / 1000.0) + (atLeast ? " (at least " : " (at most ") +
         ShortestText(limit) + "): " + (passed ? "passed" : "failed");
}

std::string IndexingResult::Refusal() const {
  if (!error.empty()) return error;
  std::string out = noCell;
  for (const Criterion& criterion : criteria)
    if (!criterion.passed) out += (out.empty() ? "" : "; ") + criterion.Text();
  if (!out.empty() && pastBounds > 0)
    out += "; " + std::to_string(pastBounds) + " fits ran past a bound of the search (" + pastBound +
           "): the cell may lie outside it";
  return out;
}

IndexingResult IndexPattern(const std::vector<ObservedPeak>& peaksIn, const CalculationInputs& inputs,
                            const StructureModel* model, const WavelengthSetup& wavelength,
                            const LineOptions& lineOptions, const IndexingOptions& options) {
  IndexingResult r;
  const bool hasC = inputs.system != CrystalSystem::Icosahedral;
  r.abInitio = options.abInitio;
  r.wavelength = wavelength;
  r.hasC = hasC;
  r.refineA = options.refineA;
  r.refineC = options.refineC && hasC;
  r.refineZero = options.refineZero;
  r.tolerance = options.tolerance;
  r.a = inputs.a;
  r.c = hasC ? inputs.c : 0.0;
  r.zero = options.zero;
  r.error = CheckRequest(peaksIn, inputs, wavelength, lineOptions, options);
  if (!r.error.empty()) return r;
  if (peaksIn.size() < 3) {
    r.noCell = "fewer than 3 peaks: nothing to index";
    return r;
  }

  std::vector<ObservedPeak> peaks = peaksIn;
  std::sort(peaks.begin(), peaks.end(), [](const ObservedPeak& l, const ObservedPeak& p) { return l.twoTheta < p.twoTheta; });
  const std::vector<double> shares = PeakShares(peaks);
  const double tol = options.tolerance;
  const double low = options.measuredLow > 0.0 || options.measuredHigh > 0.0 ? options.measuredLow
                                                                             : std::max(peaks.front().twoTheta - 2.0 * tol, 0.01);
  const double high = options.measuredLow > 0.0 || options.measuredHigh > 0.0
                          ? options.measuredHigh
                          : std::min(peaks.back().twoTheta + 2.0 * tol, 179.99);

  // The box.
  CellBox& box = r.searched;
  box.hasC = hasC;
  const double n = options.neighbourhood;
  auto range = [&](bool free, double start, double wideLow, double wideHigh, double& lo, double& hi) {
    lo = hi = start;
    if (!free) return;
    // Every cell the start lies within n of.
    lo = options.abInitio ? wideLow : start / (1.0 + n);
    hi = options.abInitio ? wideHigh : start / (1.0 - n);
  };
  range(r.refineA, inputs.a, options.aLow, options.aHigh, box.aLow, box.aHigh);
  if (hasC) range(r.refineC, inputs.c, options.cLow, options.cHigh, box.cLow, box.cHigh);
  box.zeroLow = box.zeroHigh = options.zero;
  if (r.refineZero) {
    box.zeroLow = options.zero - options.zeroRange;
    box.zeroHigh = options.zero + options.zeroRange;
  }

  // The lines of the largest cell.
  IndexingLineRequest request;
  request.inputs = inputs;
  request.aRun = box.aHigh;
  request.cRun = hasC ? box.cHigh : 1.0;
  request.wavelength = wavelength.model == WavelengthModel::Doublet ? wavelength.kAlpha2 : wavelength.kAlpha1;
  request.twoThetaMax = std::min(high - box.zeroLow + tol, 180.0);
  request.model = model;
  request.modelRadiation = Radiation{options.radiation, wavelength.kAlpha1, 0.0};
  request.lineOptions = lineOptions;
  request.cancel = options.cancel;
  IndexingLines built = BuildIndexingLines(request);
  r.strengthSource = built.strengthSource;
  if (!built.error.empty() || built.lines.empty()) {
    r.error = built.error.empty() ? "no lines in the measured range" : built.error;
    return r;
  }
  const auto lines = std::make_shared<const std::vector<ScalableLine>>(std::move(built.lines));

  // Starts: the grid's best points (and the given cell, from a start).
  std::vector<CellStart> starts;
  if (box.aLow < box.aHigh || box.cLow < box.cHigh) {
    ScreenOptions screen;
    screen.tolerance = tol;
    screen.measuredLow = low;
    screen.measuredHigh = high;
    screen.monochromatorTwoTheta = lineOptions.monochromatorTwoTheta;
    screen.fwhm = options.peakWidth > 0.0 ? options.peakWidth : tol;
    screen.cancel = options.cancel;
    starts = ScreenCells(*lines, peaks, shares, wavelength, box, screen);
    if (options.cancel && options.cancel->load()) {
      r.error = "cancelled";
      return r;
    }
  }
  if (!options.abInitio) starts.push_back({inputs.a, hasC ? inputs.c : 1.0, options.zero, 0.0, 1e-3});

  RefineSettings settings;
  settings.refineA = r.refineA;
  settings.refineC = r.refineC;
  settings.refineZero = r.refineZero;
  settings.hasC = hasC;
  settings.tolerance = tol;
  settings.maxIterations = options.maxIterations;
  settings.low = low;
  settings.high = high;
  settings.fwhm = options.peakWidth > 0.0 ? options.peakWidth : tol;
  settings.monochromatorTwoTheta = lineOptions.monochromatorTwoTheta;
  // A refined cell may end a tenth of the box beyond its edge (a cell at the edge, and noise).
  const double aMargin = 0.1 * (box.aHigh - box.aLow), cMargin = 0.1 * (box.cHigh - box.cLow);
  settings.aLow = box.aLow - aMargin, settings.aHigh = box.aHigh + aMargin;
  settings.cLow = box.cLow - cMargin, settings.cHigh = box.cHigh + cMargin;
  settings.zeroLow = options.zero - options.zeroLimit, settings.zeroHigh = options.zero + options.zeroLimit;

  WavelengthSetup setup = wavelength;
  auto solve = [&](const std::shared_ptr<const std::vector<ScalableLine>>& with, double a, double c, double zero,
                   double uncertainty) {
    Solution s;
    s.lines = with;
    RefineSettings from = settings;
    from.startUncertainty = uncertainty;
    s.cell = RefineCell(*with, peaks, shares, setup, a, c, zero, from);
    if (s.cell.error.empty())
      s.figures = ComputeFigures(peaks, shares, s.cell.sticks, s.cell.matches, *with, s.cell.a, s.cell.c, s.cell.zero,
                                 setup, tol);
    return s;
  };
  auto byMerit = [](const Solution& l, const Solution& s) { return l.figures.merit > s.figures.merit; };
  std::vector<Solution> solutions;
  std::string firstFailure;
  // Every start refined, the distinct cells ranked by W.
  auto searchAll = [&] {
    solutions.clear();
    firstFailure.clear();
    r.pastBounds = 0;
    r.pastBound.clear();
    for (const CellStart& start : starts) {
      if (options.cancel && options.cancel->load()) return false;
      Solution s = solve(lines, start.a, start.c, start.zero, 2.0 * start.step);
      if (!s.cell.error.empty()) {
        if (firstFailure.empty()) firstFailure = s.cell.error;
        if (s.cell.error.find(kPastBound) != std::string::npos && r.pastBounds++ == 0) r.pastBound = s.cell.error;
        continue;
      }
      const auto same =
          std::find_if(solutions.begin(), solutions.end(), [&](const Solution& o) { return SameCell(o, s, hasC); });
      if (same == solutions.end()) solutions.push_back(std::move(s));
      else if (s.figures.merit > same->figures.merit) *same = std::move(s);
    }
    std::stable_sort(solutions.begin(), solutions.end(), byMerit);
    // The cells the module's self-similarities relate to the best (a scaled,
    // c kept) put lines where it does: they must compete, so that the margin
    // over them is known.
    if (!solutions.empty() && r.refineA) {
      const RefinedCell best = solutions.front().cell;
      for (const double factor : kSelfSimilarities)
        for (const double a : {best.a * factor, best.a / factor}) {
          if (a < box.aLow || a > box.aHigh) continue;
          Solution s = solve(lines, a, best.c, best.zero, 1e-4);
          if (!s.cell.error.empty()) continue;
          const auto same =
              std::find_if(solutions.begin(), solutions.end(), [&](const Solution& o) { return SameCell(o, s, hasC); });
          if (same == solutions.end()) solutions.push_back(std::move(s));
        }
      std::stable_sort(solutions.begin(), solutions.end(), byMerit);
    }
    return true;
  };
  if (!searchAll()) {
    r.error = "cancelled";
    return r;
  }
  // A measurement with a monochromator has no K-alpha2: where the doublet is
  // resolved, the best cell's K-alpha2 lines then find no peaks although their
  // K-alpha1 lines do, and the peaks are K-alpha1 throughout.
  // The K-alpha1 model is taken when its best cell beats the doublet's.
  if (setup.model == WavelengthModel::Doublet && !solutions.empty()) {
    const DoubletEvidence evidence = KAlpha2Evidence(solutions.front().cell.sticks, solutions.front().cell.matches);
    if (evidence.expected >= 3 && evidence.found * 5 <= evidence.expected) {
      std::vector<Solution> doublet = std::move(solutions);
      const std::string doubletFailure = firstFailure;
      setup.model = WavelengthModel::KAlpha1;
      if (!searchAll()) {
        r.error = "cancelled";
        return r;
      }
      if (!solutions.empty() && solutions.front().figures.merit > doublet.front().figures.merit) {
        r.wavelength = setup;
        r.wavelengthNote = "no K-alpha2 peaks where the doublet is resolved (" + std::to_string(evidence.found) +
                           " of " + std::to_string(evidence.expected) + "): the measurement is taken as K-alpha1 only";
      } else {
        setup = wavelength;
        solutions = std::move(doublet);
        firstFailure = doubletFailure;
      }
    }
  }

  // With a model the strengths came from the largest cell (form factors at
  // other q): the leading candidates again with the lines of their own cell.
  if (model) {
    const std::size_t again = std::min<std::size_t>(3, solutions.size());
    for (std::size_t i = 0; i < again; ++i) {
      IndexingLineRequest own = request;
      own.aRun = solutions[i].cell.a;
      own.cRun = hasC ? solutions[i].cell.c : 1.0;
      own.twoThetaMax = std::min(high - solutions[i].cell.zero + tol, 180.0);
      IndexingLines exact = BuildIndexingLines(own);
      if (!exact.error.empty() || exact.lines.empty()) continue;
      Solution s = solve(std::make_shared<const std::vector<ScalableLine>>(std::move(exact.lines)), solutions[i].cell.a,
                         solutions[i].cell.c, solutions[i].cell.zero, 0.0);
      if (s.cell.error.empty()) solutions[i] = std::move(s);
    }
    std::stable_sort(solutions.begin(), solutions.begin() + static_cast<std::ptrdiff_t>(again), byMerit);
  }
  if (solutions.empty()) {
    r.noCell = "no cell in the searched range indexes the peaks" + (firstFailure.empty() ? "" : " (" + firstFailure + ")");
    return r;
  }

  for (std::size_t i = 0; i < solutions.size() && r.candidates.size() < static_cast<std::size_t>(options.candidates); ++i) {
    const Solution& s = solutions[i];
    r.candidates.push_back({s.cell.a, hasC ? s.cell.c : 0.0, s.cell.zero, s.figures.merit, s.figures.match, CountIndexed(s.cell),
                            s.figures.fN, s.figures.m20});
  }

  // The best.
  const Solution& best = solutions.front();
  const RefinedCell& cell = best.cell;
  r.a = cell.a, r.aSu = cell.aSu;
  r.c = hasC ? cell.c : 0.0, r.cSu = cell.cSu;
  r.zero = cell.zero, r.zeroSu = cell.zeroSu;
  r.figures = best.figures;
  r.iterations = cell.iterations;
  for (std::size_t k = 0; k < peaks.size(); ++k) {
    const PeakMatch& m = cell.matches[k];
    if (m.stick < 0) {
      r.unindexed.push_back(peaks[k].twoTheta);
      continue;
    }
    const Stick& s = cell.sticks[static_cast<std::size_t>(m.stick)];
    const ScalableLine& line = (*best.lines)[static_cast<std::size_t>(s.line)];
    IndexedPeak p;
    p.observed = peaks[k].twoTheta;
    p.intensity = peaks[k].intensity;
    p.calculated = s.twoTheta;
    p.difference = p.observed - p.calculated;
    p.index = line.index;
    p.multiplicity = line.multiplicity;
    p.d = 1.0 / LineQ(line, cell.a, cell.c);
    p.component = s.component;
    p.ambiguous = m.ambiguous;
    p.blurred = !s.fitted;
    p.outlier = cell.outlier[k];
    p.inFit = cell.inFit[k];
    r.indexed.push_back(p);
    r.peaksInFit += p.inFit;
    r.ambiguousPeaks += p.ambiguous;
  }

  // The criteria.
  const IndexingFigures& f = best.figures;
  Add(r.criteria, "intensity_match", "intensity match C", f.match, kMinIntensityMatch, true);
  Add(r.criteria, "m20", "M(20)", f.m20, kMinM20, true);
  Add(r.criteria, "f_n", "F(N)", f.fN, kMinFN, true);
  std::vector<std::size_t> strongest(peaks.size());
  std::iota(strongest.begin(), strongest.end(), std::size_t{0});
  std::stable_sort(strongest.begin(), strongest.end(), [&](std::size_t l, std::size_t q) { return shares[l] > shares[q]; });
  strongest.resize(std::min<std::size_t>(10, strongest.size()));
  const double strongIndexed =
      static_cast<double>(std::count_if(strongest.begin(), strongest.end(), [&](std::size_t k) { return cell.matches[k].stick >= 0; })) /
      static_cast<double>(strongest.size());
  Add(r.criteria, "strongest_indexed", "fraction of the 10 strongest peaks indexed", strongIndexed,
      kMinStrongestIndexed, true);
  const double top = *std::max_element(shares.begin(), shares.end());
  int strongUnindexed = 0;
  const bool intensities = std::any_of(peaks.begin(), peaks.end(), [](const ObservedPeak& p) { return p.intensity > 0.0; });
  for (std::size_t k = 0; k < peaks.size(); ++k)
    strongUnindexed += intensities && cell.matches[k].stick < 0 && shares[k] >= kStrongPeak * top;
  Add(r.criteria, "strong_unindexed", "unindexed peaks of at least a quarter of the strongest's intensity",
      strongUnindexed, 0.0, false);
  const double margin = solutions.size() > 1 && solutions[1].figures.merit > 0.0
                            ? f.merit / solutions[1].figures.merit
                            : 1e9;
  Add(r.criteria, "margin", "W of the best over W of the next candidate", std::min(margin, 1e9), kMinMargin, true);
  const std::size_t parameters = (r.refineA ? 1 : 0) + (r.refineC ? 1 : 0) + (r.refineZero ? 1 : 0);
  Add(r.criteria, "peaks_in_fit", "peaks in the least squares", r.peaksInFit, static_cast<double>(parameters + 2), true);
  r.reliable = std::all_of(r.criteria.begin(), r.criteria.end(), [](const Criterion& c) { return c.passed; });
  return r;
}

}  // namespace lumora
