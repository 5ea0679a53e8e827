#include "tiling/tiling_analysis.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>
#include <sstream>
#include <unordered_set>

#include "tiling/exact_diffraction.hpp"
#include "tiling/tiling.hpp"

namespace lumora {
namespace {

constexpr double kPi = std::numbers::pi;

// Zero-sum offsets that keep the standard shifts off singular grids.
constexpr double kPentagridOffsets[5] = {0.0137, -0.0219, 0.0041, 0.0172, -0.0131};
constexpr double kOctagridShifts[4] = {0.1237, 0.3571, 0.2819, 0.0613};

double Fraction(double v) { return v - std::floor(v); }

std::string Number(double v) {
  std::ostringstream out;
  out.precision(4);
  out << v;
  return out.str();
}

}  // namespace

PresetShifts StandardShifts(TilingPreset preset, double shiftSum) {
  PresetShifts out;
  switch (preset) {
    case TilingPreset::Penrose: shiftSum = 1.0; [[fallthrough]];
    case TilingPreset::GeneralisedPenrose:
      out.symmetry = 5;
      for (double offset : kPentagridOffsets) out.shifts.push_back(shiftSum / 5.0 + offset);
      break;
    case TilingPreset::AmmannBeenker:
      out.symmetry = 8;
      for (double g : kOctagridShifts) out.shifts.push_back(g);
      for (double g : kOctagridShifts) out.shifts.push_back(0.5 - g);
      break;
  }
  return out;
}

std::optional<std::string> TilingNote(int n, const std::vector<double>& shifts) {
  if (ModuleRank(n) == 2)
    return "N = " + std::to_string(n) + " gives a periodic tiling: its vertices lie on a lattice.";
  if (static_cast<int>(shifts.size()) != n) return std::nullopt;
  if (n % 2 == 0) {
    for (int i = 0; i < n / 2; ++i) {
      const double sum = Fraction(shifts[static_cast<std::size_t>(i)] + shifts[static_cast<std::size_t>(i + n / 2)]);
      if (std::abs(sum - 0.5) > 1e-9)
        return "Non-standard tiling: the parallel grids " + std::to_string(i) + " and " + std::to_string(i + n / 2) +
               " are not interleaved halfway (their shifts add to " + Number(sum) +
               " modulo 1, not 1/2); " + (std::abs(sum) < 1e-9 || std::abs(sum - 1.0) < 1e-9
                                              ? "their lines coincide."
                                              : "the tiling is not the standard " + std::to_string(n) + "-fold one.");
    }
    return std::nullopt;
  }
  if (n == 5) {
    const double sum = std::accumulate(shifts.begin(), shifts.end(), 0.0);
    if (std::abs(sum - std::round(sum)) > 1e-9)
      return "Generalised Penrose tiling: the shifts add to " + Number(sum) + ", not a whole number.";
  }
  return std::nullopt;
}

std::optional<ShapeRatioLimit> TwoShapeRatioLimit(int n, const std::vector<double>& shifts) {
  if (static_cast<int>(shifts.size()) != n || TilingNote(n, shifts)) return std::nullopt;
  // Each crossing of a line of grid j with one of grid k is one tile of that
  // pair, and two families of parallel lines at angle a cross |sin a| times
  // per unit area (for spacing 1). Penrose: five pairs at 72 degrees (thick
  // rhombi) and five at 144 (thin): thick : thin = sin 72 : sin 144 =
  // 2 cos 36 = golden ratio. Ammann-Beenker: the grids i and i + 4 make four
  // families of spacing 1/2; two pairs at 90 degrees give the squares, four
  // at 45 or 135 the rhombi: squares : rhombi = 2 : 4 sin 45 = 1/sqrt 2 (the
  // rhombi outnumber the squares by sqrt 2, not the other way round).
  if (n == 5) return ShapeRatioLimit{std::numbers::phi, "golden ratio \u03c4 = 1.6180"};
  if (n == 8) return ShapeRatioLimit{1.0 / std::numbers::sqrt2, "1/\u221a2 = 0.7071"};
  return std::nullopt;
}

TilingStatistics ComputeTilingStatistics(const Tiling& tiling) {
  TilingStatistics stats;
  const int n = tiling.inputs.symmetry;
  std::vector<std::vector<int>> neighbours(tiling.nLatticeVertices());
  for (const Tile& tile : tiling.tiles) {
    const bool whole = std::all_of(tile.lattice.begin(), tile.lattice.end(), [](int v) { return v >= 0; });
    if (whole) ++stats.tilesByShape[TileShape(n, tile.gridJ, tile.gridK)];
    for (std::size_t c = 0; c < 4; ++c) {
      const int a = tile.lattice[c];
      const int b = tile.lattice[(c + 1) % 4];
      if (a < 0 || b < 0) continue;
      neighbours[static_cast<std::size_t>(a)].push_back(b);
      neighbours[static_cast<std::size_t>(b)].push_back(a);
    }
  }
  const std::vector<std::array<double, 2>> xs = LatticeVertexPositions(tiling);
  const double scale = tiling.inputs.zoom * 3.0;  // pixels per edge
  // The canvas centre as the generator rounds it (half to even).
  const double xc = std::nearbyint(tiling.inputs.width / 2.0), yc = std::nearbyint(tiling.inputs.height / 2.0);
  const double inset = 2.0 * scale;
  for (std::size_t v = 0; v < xs.size(); ++v) {
    const double x = xc + xs[v][0] * scale, y = yc + xs[v][1] * scale;
    if (x < inset || y < inset || x > tiling.inputs.width - inset || y > tiling.inputs.height - inset) continue;
    std::vector<int>& list = neighbours[v];
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
    ++stats.coordination[static_cast<int>(list.size())];
    ++stats.interiorVertices;
  }
  return stats;
}

InternalView InternalSpaceView(const Tiling& tiling) {
  InternalView view;
  const int n = tiling.inputs.symmetry;
  for (int m = 2; 2 * m < n; ++m)
    if (std::gcd(m, n) == 1) {
      view.exponent = m;
      break;
    }
  // The conjugate directions e_(m i), once for all vertices.
  std::vector<std::array<double, 2>> dirs;
  for (int i = 0; i < n; ++i)
    dirs.push_back({std::cos(2.0 * kPi * view.exponent * i / n), std::sin(2.0 * kPi * view.exponent * i / n)});
  for (std::size_t v = 0; v < tiling.nLatticeVertices(); ++v) {
    double x = 0.0, y = 0.0;
    int level = 0;
    for (int i = 0; i < n; ++i) {
      const int k = tiling.latticeVertices[v * static_cast<std::size_t>(n) + static_cast<std::size_t>(i)];
      level += k;
      x += k * dirs[static_cast<std::size_t>(i)][0];
      y += k * dirs[static_cast<std::size_t>(i)][1];
    }
    if (view.exponent != 0) view.points.push_back({x, y});
    view.levels.push_back(level);
  }
  return view;
}

}  // namespace lumora
