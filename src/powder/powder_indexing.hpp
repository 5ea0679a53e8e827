// Indexing of a measured powder pattern: a global search of the cell (a, and c
// for the axial systems) and the zero shift over a box (cell_search.hpp), the
// best grid points refined by least squares (powder_refinement.hpp), the
// candidates ranked by their figure of merit W (indexing_figures.hpp), and the
// best judged against stated criteria: an indexing that fails one is not
// reliable, and its constants are not to be used.
//
// Ab initio the box is wide (a 1.5-12 A, c 2-40 A by default); from a start
// it holds every cell the start lies within 2 % of, in a and c in any
// combination (a from a0 / 1.02 to a0 / 0.98). The
// zero shift is searched within +-0.2 degrees of the given one. A refined a
// or c may end a tenth of the box's width beyond its edge, the zero shift 0.5
// degrees from the given one; a fit that runs further is refused, naming the
// parameter.
#pragma once

#include <array>
#include <atomic>
#include <string>
#include <vector>

#include "intensity/radiation.hpp"
#include "intensity/structure_model.hpp"
#include "powder/cell_search.hpp"
#include "powder/indexing_figures.hpp"
#include "powder/line_sticks.hpp"
#include "powder/powder_lines.hpp"
#include "reflections/calculation.hpp"

namespace lumora {

struct IndexingOptions {
  bool refineA = true, refineC = true, refineZero = true;  // c only for the axial systems
  double tolerance = 0.1;   // degrees 2 theta: a peak is indexed by a line within this
  bool abInitio = false;    // search the wide box instead of the start's neighbourhood
  double aLow = 1.5, aHigh = 12.0, cLow = 2.0, cHigh = 40.0;  // A: the ab initio box
  double neighbourhood = 0.02;  // relative: the start lies within this of the cell
  double zero = 0.0;            // degrees: the start (and centre) of the zero shift
  double zeroRange = 0.2;       // degrees searched either way
  double zeroLimit = 0.5;       // degrees the refined zero may move from the start
  // Degrees 2 theta: the measured range (lines outside it cannot be seen).
  // Both 0: from two tolerances below the first peak to two above the last.
  double measuredLow = 0.0, measuredHigh = 0.0;
  // Degrees: the FWHM of the measured peaks, which decides where a K-alpha
  // doublet is seen as one peak (line_sticks.hpp); 0: the tolerance.
  double peakWidth = 0.0;
  int maxIterations = 50;
  int candidates = 5;  // reported
  // Whose scattering factors a model's line strengths take (the wavelength
  // is the K-alpha1 or the only one).
  RadiationKind radiation = RadiationKind::XRay;
  const std::atomic<bool>* cancel = nullptr;
};

// A stated criterion of a reliable indexing: value >= limit (atLeast) or <= limit.
struct Criterion {
  std::string name;         // "intensity_match", "m20", ...
  std::string description;  // "intensity match C"
  double value = 0.0;
  double limit = 0.0;
  bool atLeast = true;
  bool passed = false;
  std::string Text() const;  // "intensity match C = 0.82 (at least 0.5): passed"
};

struct IndexedPeak {
  double observed = 0, intensity = 0, calculated = 0, difference = 0;  // degrees; calculated with the zero shift
  std::array<int, 6> index{};  // first index vector of the line
  int multiplicity = 0;
  double d = 0;  // A
  StickComponent component = StickComponent::KAlpha1;
  bool ambiguous = false;  // another line within the tolerance explains it at least half as well
  bool blurred = false;    // the other half of a K-alpha doublet moves its position
  bool outlier = false;    // far off its line compared with the others
  bool inFit = false;      // used by the least squares
};

struct IndexingCandidate {
  double a = 0, c = 0, zero = 0;
  double figureOfMerit = 0;  // W = C x F(N), by which the candidates are ranked
  double match = 0;          // the intensity match C
  int indexed = 0;           // peaks indexed
  double fN = 0, m20 = 0;
};

struct IndexingResult {
  // Nothing could be tried (bad input, no lines): why. Then reliable is false
  // and the values are the start.
  std::string error;
  // The search found no cell that indexes the peaks at all: why (the first
  // refinement's failure). Then reliable is false, there are no candidates,
  // and the values are the start.
  std::string noCell;
  // Refinements that ran past a bound of the searched box (the cell may lie
  // outside it): how many, and the first one's message naming the parameter.
  int pastBounds = 0;
  std::string pastBound;
  bool reliable = false;
  std::vector<Criterion> criteria;    // of the best candidate
  std::vector<IndexingCandidate> candidates;  // best first, distinct
  bool abInitio = false;
  CellBox searched;                   // the box of (a, c, zero)
  WavelengthSetup wavelength;        // as modelled (K-alpha1 only when no K-alpha2 peaks showed)
  std::string wavelengthNote;        // why the model differs from the one asked for
  std::string strengthSource;         // "model penrose", "qi weight"
  bool hasC = true;
  bool refineA = true, refineC = true, refineZero = true;
  double tolerance = 0.1;
  // The best candidate, refined.
  double a = 0, aSu = 0, c = 0, cSu = 0, zero = 0, zeroSu = 0;
  IndexingFigures figures;
  std::vector<IndexedPeak> indexed;   // by observed 2 theta
  std::vector<double> unindexed;      // observed 2 theta
  int iterations = 0;
  int peaksInFit = 0;
  int ambiguousPeaks = 0;
  // Why the result is not reliable (the error, that no cell was found, or
  // the failed criteria, joined); empty when reliable.
  std::string Refusal() const;
};

// peaks in any order (intensities 0 when not known); inputs: the system,
// group, setting, qi-max and the start a, c (the monochromator angle of
// lineOptions enters LP); model: the structure model for the line
// intensities, or null for the qi weight.
IndexingResult IndexPattern(const std::vector<ObservedPeak>& peaks, const CalculationInputs& inputs,
                            const StructureModel* model, const WavelengthSetup& wavelength,
                            const LineOptions& lineOptions, const IndexingOptions& options);

// The criteria's limits.
inline constexpr double kMinIntensityMatch = 0.5;
inline constexpr double kMinM20 = 10.0;
inline constexpr double kMinFN = 10.0;
inline constexpr double kMinStrongestIndexed = 0.9;   // of the 10 strongest peaks
inline constexpr double kStrongPeak = 0.25;           // of the strongest peak's intensity: must be indexed
inline constexpr double kMinMargin = 1.5;             // W of the best over W of the next candidate

}  // namespace lumora
