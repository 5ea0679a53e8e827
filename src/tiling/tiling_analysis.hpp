// Standard tilings (their grid shifts), notes on non-standard choices, and
// the statistics and internal-space (perpendicular) view of a generated
// tiling. Lengths in edge lengths; internal coordinates from the index
// vectors K by e_i -> e_(m i).
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lumora {

struct Tiling;

enum class TilingPreset { Penrose, GeneralisedPenrose, AmmannBeenker };

struct PresetShifts {
  int symmetry = 0;
  std::vector<double> shifts;
};

// Penrose: N = 5, shifts summing to 1. Generalised Penrose: N = 5, shifts
// summing to shiftSum (in -5..5). Ammann-Beenker: N = 8 with the parallel
// grids i and i + 4 interleaved halfway (gamma_(i+4) = 1/2 - gamma_i), which
// makes them one grid of spacing 1/2: the octagonal tiling. All shifts lie
// off the singular choices (no three lines through one point).
PresetShifts StandardShifts(TilingPreset preset, double shiftSum = 0.5);

// A note when the choice gives a periodic tiling (N = 6: the module is a
// lattice), a non-standard one (even N whose parallel grids are not
// interleaved halfway, as with the classic shifts), or a generalised Penrose
// tiling (N = 5, shift sum not whole); nothing for a standard choice.
std::optional<std::string> TilingNote(int n, const std::vector<double>& shifts);

// The limit, over ever larger patches, of the count of the wider tile shape
// over the narrower one in a standard two-shape tiling: the Penrose thick :
// thin rhombi (N = 5, whole shift sum) tends to the golden ratio, the
// Ammann-Beenker squares : 45-degree rhombi (N = 8, grids interleaved
// halfway) to 1/sqrt 2. None for other choices, whose limit is not known here.
struct ShapeRatioLimit {
  double value = 0.0;
  std::string text;  // "golden ratio τ = 1.6180", "1/√2 = 0.7071"
};
std::optional<ShapeRatioLimit> TwoShapeRatioLimit(int n, const std::vector<double>& shifts);

struct TilingStatistics {
  // Tiles lying wholly in the canvas, by shape (acute angle in units of
  // 180/N degrees).
  std::map<int, std::size_t> tilesByShape;
  // Vertices at least two edge lengths inside the canvas, by number of edges.
  std::map<int, std::size_t> coordination;
  std::size_t interiorVertices = 0;
};
TilingStatistics ComputeTilingStatistics(const Tiling& tiling);

// Internal coordinates of the exact vertex set in the first conjugate plane
// (e_i -> e_(m i), m the smallest exponent > 1 prime to N), and each vertex's
// level sum K_i. Empty coordinates when N has no such plane (N = 6).
struct InternalView {
  int exponent = 0;
  std::vector<std::array<double, 2>> points;
  std::vector<int> levels;
};
InternalView InternalSpaceView(const Tiling& tiling);

}  // namespace lumora
