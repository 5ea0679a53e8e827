#include "tiling/multigrid.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/numeric.hpp"
#include "tiling/tile_colors.hpp"

namespace lumora {
namespace {

constexpr double kRadiansPerDegree = 0.017453292522222223;

struct Vec2 {
  double x = 0.0;
  double y = 0.0;
};

// One run's working state: the grids, the current pair and the result.
class Generator {
 public:
  Generator(const TilingInputs& inputs, std::mt19937& random);
  Tiling Run();

 private:
  void ScanGridPair();
  void AddTile();

  const TilingInputs& in_;
  std::mt19937& random_;
  int n_ = 0;
  int loop_ = 0;
  double scale_ = 0.0;
  int xc_ = 0, yc_ = 0;
  double unitAngle_ = 0.0;  // 360 / N in degrees
  std::vector<Vec2> dir_;    // e_i
  std::vector<Vec2> trueDir_;  // e_i with pi itself, for the exact positions
  std::vector<double> shift_;
  std::vector<long long> k_;  // the index vector of the current tile
  int j_ = 0, kk_ = 0;        // the current grid pair
  Matrix2 inverse_{};
  std::unordered_map<std::u16string, int> seenLifts_;
  std::u16string lift_;
  Tiling result_;
};

Generator::Generator(const TilingInputs& inputs, std::mt19937& random) : in_(inputs), random_(random) {}

Tiling Generator::Run() {
  if (const auto problem = CheckTilingInputs(in_)) throw std::invalid_argument(*problem);
  result_.inputs = in_;
  result_.vertexImage = RasterImage(in_.width, in_.height, kBlack);
  n_ = in_.symmetry;
  loop_ = in_.loopOrder;
  scale_ = in_.zoom / 10.0 * 30.0;
  xc_ = static_cast<int>(RoundHalfEven(in_.width / 2.0));
  yc_ = static_cast<int>(RoundHalfEven(in_.height / 2.0));

  result_.nTileTypes = TileTypeCount(n_);
  unitAngle_ = (6.283185308 / n_) / kRadiansPerDegree;
  result_.hues = TileHues(result_.nTileTypes);
  result_.tileColors = TileColors(result_.nTileTypes, in_.brightness);

  for (int i = 0; i < n_; ++i) {
    switch (in_.shiftMode) {
      case ShiftMode::SymmetryType1: shift_.push_back(1.0 / n_); break;
      case ShiftMode::SymmetryType2: shift_.push_back((n_ - 1.0) / (2.0 * n_)); break;
      case ShiftMode::Random: shift_.push_back(RandomUnit(random_)); break;
      case ShiftMode::Given: shift_.push_back(in_.shifts[static_cast<std::size_t>(i)]); break;
    }
    const double angle = 2.0 * kPi * i / n_;
    dir_.push_back({std::cos(angle), std::sin(angle)});
    const double exact = 2.0 * std::numbers::pi * i / n_;
    trueDir_.push_back({std::cos(exact), std::sin(exact)});
  }
  result_.gridShift = shift_;
  k_.assign(static_cast<std::size_t>(n_), 0);

  for (j_ = 0; j_ <= n_ - 2; ++j_) {
    for (kk_ = j_ + 1; kk_ <= n_ - 1; ++kk_) {
      if (IsEven(n_) && kk_ == j_ + n_ / 2) continue;  // parallel grids never meet
      const Vec2& ej = dir_[static_cast<std::size_t>(j_)];
      const Vec2& ek = dir_[static_cast<std::size_t>(kk_)];
      inverse_ = InvertMatrix2({{{ej.x, ej.y}, {ek.x, ek.y}}});
      ScanGridPair();
    }
  }
  return std::move(result_);
}

void Generator::ScanGridPair() {
  const double gj = shift_[static_cast<std::size_t>(j_)];
  const double gk = shift_[static_cast<std::size_t>(kk_)];
  // Most intersections give tiles far outside the canvas. The tile's base
  // point is sum (e_i.p + gamma_i + d_i) e_i with 0 <= d_i <= 1, that is
  // (N/2) p plus at most sum(|gamma_i| + 1), and the corners add at most 2
  // edges: so a tile whose estimate lies farther out than that (and the
  // margin) has every corner outside and would be dropped. Such tiles are
  // passed over before their N index computations; 2 pixels cover rounding.
  double spread = 2.0;
  for (double g : shift_) spread += std::abs(g) + 1.0;
  const double reach = spread * scale_ + 2.0;
  const double half = n_ / 2.0 * scale_;
  for (int r = -loop_; r <= loop_; ++r) {
    for (int s = -loop_; s <= loop_; ++s) {
      // The intersection of line r of grid j with line s of grid k.
      const double d0 = r - gj;
      const double d1 = s - gk;
      const double px = inverse_[0][0] * d0 + inverse_[0][1] * d1;
      const double py = inverse_[1][0] * d0 + inverse_[1][1] * d1;
      // The margin is set by the first tile, which is always drawn.
      if (result_.margin > 0.0f) {
        const double m = result_.margin;
        const double ex = xc_ + half * px, ey = yc_ + half * py;
        if (ex + reach < -m || ey + reach < -m || ex - reach > in_.width + m || ey - reach > in_.height + m) continue;
      }
      for (std::size_t i = 0; i < dir_.size(); ++i)
        k_[i] = FloorInt(dir_[i].x * px + dir_[i].y * py + shift_[i]) + 1;
      k_[static_cast<std::size_t>(j_)] = r;
      k_[static_cast<std::size_t>(kk_)] = s;
      AddTile();
    }
  }
}

void Generator::AddTile() {
  double bx = 0.0, by = 0.0;
  for (std::size_t i = 0; i < dir_.size(); ++i) {
    bx += static_cast<double>(k_[i]) * dir_[i].x;
    by += static_cast<double>(k_[i]) * dir_[i].y;
  }
  const Vec2& ej = dir_[static_cast<std::size_t>(j_)];
  const Vec2& ek = dir_[static_cast<std::size_t>(kk_)];
  static constexpr int kSteps[4][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
  std::array<Vec2, 4> p;
  std::array<PixelPoint, 4> pix;
  float& m = result_.margin;
  for (std::size_t c = 0; c < 4; ++c) {
    p[c] = {(bx + kSteps[c][0] * ej.x + kSteps[c][1] * ek.x) * scale_,
            (by + kSteps[c][0] * ej.y + kSteps[c][1] * ek.y) * scale_};
    pix[c] = {static_cast<int>(RoundHalfEven(xc_ + p[c].x)), static_cast<int>(RoundHalfEven(yc_ + p[c].y))};
    if (m > 0.0f) {
      const double margin = m;
      if (pix[c].x < -margin || pix[c].y < -margin || pix[c].x > in_.width + margin ||
          pix[c].y > in_.height + margin)
        return;
    }
  }
  if (m == 0.0f) {
    const double dy = pix[1].y - pix[0].y;
    const double dx = pix[1].x - pix[0].x;
    m = static_cast<float>(2.0 * std::sqrt(dy * dy + dx * dx));
  }

  // The type follows from the angle between the two edges: t = min(k-j, N-(k-j)).
  auto unit = [](double x, double y) {
    const double len = std::sqrt(x * x + y * y);
    return Vec2{x / len, y / len};
  };
  const Vec2 u1 = unit(p[1].x - p[0].x, p[1].y - p[0].y);
  const Vec2 u2 = unit(p[2].x - p[0].x, p[2].y - p[0].y);
  const double theta = ArcCos(u1.x * u2.x + u1.y * u2.y) / kRadiansPerDegree;
  int type = static_cast<int>(RoundHalfEven(theta / unitAngle_));
  if (type < 1) type = 1;
  if (type > result_.nTileTypes) type = result_.nTileTypes;
  std::array<int, 4> lattice{-1, -1, -1, -1};
  double ex = 0.0, ey = 0.0;
  for (std::size_t i = 0; i < trueDir_.size(); ++i) {
    ex += static_cast<double>(k_[i]) * trueDir_[i].x;
    ey += static_cast<double>(k_[i]) * trueDir_[i].y;
  }
  std::array<std::array<double, 2>, 4> position;
  for (std::size_t c = 0; c < 4; ++c)
    position[c] = {ex + kSteps[c][0] * trueDir_[static_cast<std::size_t>(j_)].x + kSteps[c][1] * trueDir_[static_cast<std::size_t>(kk_)].x,
                   ey + kSteps[c][0] * trueDir_[static_cast<std::size_t>(j_)].y + kSteps[c][1] * trueDir_[static_cast<std::size_t>(kk_)].y};
  for (std::size_t c = 0; c < 4; ++c) {
    const double x = xc_ + p[c].x;
    const double y = yc_ + p[c].y;
    if (x <= 0.0 || x >= in_.width || y <= 0.0 || y >= in_.height) continue;
    // Index vectors stay within a few hundred for any canvas the inputs allow.
    lift_.resize(k_.size());
    for (std::size_t i = 0; i < k_.size(); ++i) lift_[i] = static_cast<char16_t>(k_[i]);
    lift_[static_cast<std::size_t>(j_)] = static_cast<char16_t>(k_[static_cast<std::size_t>(j_)] + kSteps[c][0]);
    lift_[static_cast<std::size_t>(kk_)] = static_cast<char16_t>(k_[static_cast<std::size_t>(kk_)] + kSteps[c][1]);
    const auto found = seenLifts_.find(lift_);
    if (found != seenLifts_.end()) {
      lattice[c] = found->second;
      continue;
    }
    if (seenLifts_.size() >= kMaxLatticeVertices) {
      result_.latticeVerticesFull = true;
      continue;
    }
    lattice[c] = static_cast<int>(seenLifts_.size());
    seenLifts_.emplace(lift_, lattice[c]);
    for (char16_t v : lift_) result_.latticeVertices.push_back(static_cast<std::int16_t>(v));
  }
  result_.tiles.push_back({{pix[0], pix[1], pix[3], pix[2]},
                           type,
                           result_.tileColors[static_cast<std::size_t>(type)],
                           j_,
                           kk_,
                           {lattice[0], lattice[1], lattice[3], lattice[2]},
                           {position[0], position[1], position[3], position[2]}});

  for (std::size_t c = 0; c < 4; ++c) {
    const int ix = pix[c].x;
    const int iy = pix[c].y;
    if (ix <= 0 || ix >= in_.width || iy <= 0 || iy >= in_.height) continue;
    ColorValue& pixel = result_.vertexImage.at(ix, iy);
    if (pixel == kWhite) continue;
    if (result_.vertX.size() >= kMaxVertices) {
      result_.vertexTableFull = true;
      continue;
    }
    pixel = kWhite;
    result_.vertX.push_back(static_cast<float>(xc_ + p[c].x));
    result_.vertY.push_back(static_cast<float>(yc_ + p[c].y));
  }
}

}  // namespace

int TileShape(int n, int gridJ, int gridK) {
  // The edges make an angle of 2 (k - j) units of 180/N degrees; fold it
  // into 0..N units, then take the acute one of the rhombus's two angles.
  int v = ((2 * (gridK - gridJ)) % (2 * n) + 2 * n) % (2 * n);
  if (v > n) v = 2 * n - v;
  return std::min(v, n - v);
}

Matrix2 InvertMatrix2(const Matrix2& a) {
  const double det = a[0][0] * a[1][1] - a[0][1] * a[1][0];
  return {{{a[1][1] / det, -a[0][1] / det}, {-a[1][0] / det, a[0][0] / det}}};
}

double RandomUnit(std::mt19937& random) { return static_cast<double>(random()) / 4294967296.0; }

Tiling MakeTiling(const TilingInputs& inputs, std::mt19937& random) { return Generator(inputs, random).Run(); }

}  // namespace lumora
