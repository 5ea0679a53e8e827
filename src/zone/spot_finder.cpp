#include "zone/spot_finder.hpp"

#include <algorithm>
#include <cmath>

namespace lumora {
namespace {

// Sums over rectangles in O(1): S(x0..x1, y0..y1), both ends included.
class Integral {
 public:
  Integral(const GreyImage& image, bool squares) : w_(image.width + 1), h_(image.height + 1) {
    sums_.assign(static_cast<std::size_t>(w_) * static_cast<std::size_t>(h_), 0.0);
    for (int y = 0; y < image.height; ++y) {
      double row = 0.0;
      for (int x = 0; x < image.width; ++x) {
        const double v = image.At(x, y);
        row += squares ? v * v : v;
        At(x + 1, y + 1) = At(x + 1, y) + row;
      }
    }
  }
  double Sum(int x0, int y0, int x1, int y1) const {
    return At(x1 + 1, y1 + 1) - At(x0, y1 + 1) - At(x1 + 1, y0) + At(x0, y0);
  }

 private:
  double& At(int x, int y) { return sums_[static_cast<std::size_t>(y) * static_cast<std::size_t>(w_) + static_cast<std::size_t>(x)]; }
  double At(int x, int y) const { return sums_[static_cast<std::size_t>(y) * static_cast<std::size_t>(w_) + static_cast<std::size_t>(x)]; }
  int w_, h_;
  std::vector<double> sums_;
};

}  // namespace

std::vector<FoundSpot> FindSpots(const GreyImage& image, const SpotSearchOptions& options, const std::atomic<bool>* cancel) {
  const int r = std::max(1, static_cast<int>(std::lround(options.sigma)));
  const int outer = 4 * r + 2;
  const int w = image.width, h = image.height;
  std::vector<FoundSpot> found;
  if (w < 2 * outer + 3 || h < 2 * outer + 3) return found;
  const Integral sum(image, false), squares(image, true);
  const double innerCount = (2.0 * r + 1) * (2.0 * r + 1);
  const double annulusCount = (2.0 * outer + 1) * (2.0 * outer + 1) - innerCount;

  // Contrast over noise, on the pixels whose annulus lies inside the image.
  std::vector<float> contrast(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0.0f);
  std::vector<float> background(contrast.size(), 0.0f);
  std::vector<float> noise(contrast.size(), 0.0f);
  for (int y = outer; y < h - outer; ++y) {
    if (cancel && (y & 63) == 0 && cancel->load(std::memory_order_relaxed)) return {};
    for (int x = outer; x < w - outer; ++x) {
      const double inner = sum.Sum(x - r, y - r, x + r, y + r);
      const double all = sum.Sum(x - outer, y - outer, x + outer, y + outer);
      const double allSquares = squares.Sum(x - outer, y - outer, x + outer, y + outer);
      const double innerSquares = squares.Sum(x - r, y - r, x + r, y + r);
      const double mean = (all - inner) / annulusCount;
      const double variance = std::max((allSquares - innerSquares) / annulusCount - mean * mean, 0.0);
      const double sigma = std::sqrt(variance * (1.0 / innerCount + 1.0 / annulusCount));
      const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x);
      contrast[i] = static_cast<float>(inner / innerCount - mean);
      background[i] = static_cast<float>(mean);
      noise[i] = static_cast<float>(sigma);
    }
  }

  const int suppress = 2 * r + 1;
  const double sw = options.sigma;
  const int window = static_cast<int>(std::ceil(3.0 * sw));
  for (int y = outer; y < h - outer; ++y) {
    for (int x = outer; x < w - outer; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x);
      const float c = contrast[i];
      if (!(c > 0.0f) || !(c > options.threshold * noise[i])) continue;
      bool maximum = true;
      for (int dy = -suppress; dy <= suppress && maximum; ++dy)
        for (int dx = -suppress; dx <= suppress; ++dx) {
          const int xx = x + dx, yy = y + dy;
          if ((dx == 0 && dy == 0) || xx < outer || yy < outer || xx >= w - outer || yy >= h - outer) continue;
          const float o = contrast[static_cast<std::size_t>(yy) * static_cast<std::size_t>(w) + static_cast<std::size_t>(xx)];
          // Ties go to the first pixel in reading order.
          if (o > c || (o == c && (dy < 0 || (dy == 0 && dx < 0)))) {
            maximum = false;
            break;
          }
        }
      if (!maximum) continue;
      const double bg = background[i];
      double cx = x, cy = y;
      for (int iteration = 0; iteration < 50; ++iteration) {
        double sx = 0.0, sy = 0.0, sw0 = 0.0;
        const int x0 = std::max(0, static_cast<int>(std::floor(cx)) - window), x1 = std::min(w - 1, static_cast<int>(std::ceil(cx)) + window);
        const int y0 = std::max(0, static_cast<int>(std::floor(cy)) - window), y1 = std::min(h - 1, static_cast<int>(std::ceil(cy)) + window);
        for (int yy = y0; yy <= y1; ++yy)
          for (int xx = x0; xx <= x1; ++xx) {
            const double v = image.At(xx, yy) - bg;
            if (v <= 0.0) continue;
            const double d2 = (xx - cx) * (xx - cx) + (yy - cy) * (yy - cy);
            const double weight = v * std::exp(-d2 / (2.0 * sw * sw));
            sx += weight * xx, sy += weight * yy, sw0 += weight;
          }
        if (!(sw0 > 0.0)) break;
        const double nx = sx / sw0, ny = sy / sw0;
        const double move = std::hypot(nx - cx, ny - cy);
        cx = nx, cy = ny;
        if (move < 1e-4 || std::hypot(cx - x, cy - y) > suppress) break;
      }
      if (std::hypot(cx - x, cy - y) > suppress) continue;  // ran off: not a compact spot
      double total = 0.0;
      for (int yy = std::max(0, y - window); yy <= std::min(h - 1, y + window); ++yy)
        for (int xx = std::max(0, x - window); xx <= std::min(w - 1, x + window); ++xx)
          if ((xx - cx) * (xx - cx) + (yy - cy) * (yy - cy) <= 9.0 * sw * sw) total += image.At(xx, yy) - bg;
      found.push_back({cx, cy, total, c / std::max(noise[i], 1e-30f)});
    }
  }
  std::stable_sort(found.begin(), found.end(), [](const FoundSpot& a, const FoundSpot& b) { return a.intensity > b.intensity; });
  if (static_cast<int>(found.size()) > options.maxSpots) found.resize(static_cast<std::size_t>(options.maxSpots));
  return found;
}

}  // namespace lumora
