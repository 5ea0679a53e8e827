#include "fourier/ft_peak.hpp"

#include <algorithm>

namespace lumora {

std::optional<FtPeak> StrongestNear(const FtArray& ft, int x, int y, int radius) {
  const int w = ft.width, h = ft.height;
  if (w <= 0 || h <= 0 || x < 0 || y < 0 || x >= w || y >= h) return std::nullopt;
  std::optional<FtPeak> best;
  for (int yd = std::max(0, y - radius); yd <= std::min(h - 1, y + radius); ++yd)
    for (int xd = std::max(0, x - radius); xd <= std::min(w - 1, x + radius); ++xd) {
      if ((xd - x) * (xd - x) + (yd - y) * (yd - y) > radius * radius) continue;
      // The coefficient drawn at (xd, yd): the picture is the array turned by w/2 - 1.
      const int ax = (xd - w / 2 + 1 + w) % w, ay = (yd - h / 2 + 1 + h) % h;
      const double m = ft.Magnitude(ax, ay);
      if (best && !(m > best->magnitude)) continue;
      best = FtPeak{xd, yd, xd - (w / 2 - 1), yd - (h / 2 - 1), m};
    }
  return best;
}

}  // namespace lumora
