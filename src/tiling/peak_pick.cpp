#include "tiling/peak_pick.hpp"

#include <cmath>

#include "common/number_text.hpp"

namespace lumora {

std::optional<std::size_t> NearestModulePoint(const std::vector<ModulePoint>& points, double qx, double qy,
                                              double within, const std::vector<double>* intensity,
                                              double minIntensity) {
  std::optional<std::size_t> chosen;
  double best = within;
  for (std::size_t p = 0; p < points.size(); ++p) {
    if (intensity && !(p < intensity->size() && (*intensity)[p] >= minIntensity)) continue;
    const double d = std::hypot(points[p].qx - qx, points[p].qy - qy);
    if (d <= best) {
      best = d;
      chosen = p;
    }
  }
  return chosen;
}

std::optional<ModulePoint> ModulePointNear(int n, double qx, double qy, double within, double internalMax,
                                           std::size_t maxPoints, bool* tooDense) {
  const auto points = ModulePointsNear(n, qx, qy, within, internalMax, maxPoints);
  if (tooDense) *tooDense = !points;
  if (!points) return std::nullopt;
  const auto chosen = NearestModulePoint(*points, qx, qy, within);
  if (!chosen) return std::nullopt;
  return (*points)[*chosen];
}

std::string ModulePointText(const ModulePoint& point) {
  std::string index;
  for (int a : point.index) index += (index.empty() ? "" : " ") + std::to_string(a);
  return "k = (" + FormatFixed(point.qx, 4) + ", " + FormatFixed(point.qy, 4) + "), |k| = " +
         FormatFixed(std::hypot(point.qx, point.qy), 4) + ", internal " + FormatFixed(point.internal, 4) +
         ", indices (" + index + ")";
}

}  // namespace lumora
