#include "powder/powder_axis.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace lumora {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kDegree = std::numbers::pi / 180.0;

}  // namespace

double AxisFromTwoTheta(double twoTheta, double wavelength, PowderAxis axis) {
  if (axis == PowderAxis::TwoTheta) return twoTheta;
  if (!(twoTheta > 0.0 && twoTheta < 180.0) || !(wavelength > 0.0)) return kNaN;
  const double s = std::sin(twoTheta * kDegree / 2.0);
  return axis == PowderAxis::D ? wavelength / (2.0 * s) : 4.0 * std::numbers::pi * s / wavelength;
}

double TwoThetaFromAxis(double value, double wavelength, PowderAxis axis) {
  if (axis == PowderAxis::TwoTheta) return value;
  if (!(value > 0.0) || !(wavelength > 0.0)) return kNaN;
  const double s = axis == PowderAxis::D ? wavelength / (2.0 * value) : value * wavelength / (4.0 * std::numbers::pi);
  if (s > 1.0) return kNaN;
  return 2.0 * std::asin(s) / kDegree;
}

std::string AxisTitle(PowderAxis axis) {
  switch (axis) {
    case PowderAxis::TwoTheta: return "2\u03b8 (\u00b0)";
    case PowderAxis::D: return "d (\u00c5)";
    case PowderAxis::Q: return "q (1/\u00c5)";
  }
  return {};
}

double ScaleIntensity(double intensity, IntensityScale scale, double logFloor) {
  switch (scale) {
    case IntensityScale::Linear: return intensity;
    case IntensityScale::SquareRoot: return intensity > 0.0 ? std::sqrt(intensity) : -std::sqrt(-intensity);
    case IntensityScale::Log: return std::log10(std::max(intensity, logFloor > 0.0 ? logFloor : 1e-300));
  }
  return intensity;
}

double UnscaleIntensity(double shown, IntensityScale scale) {
  switch (scale) {
    case IntensityScale::Linear: return shown;
    case IntensityScale::SquareRoot: return shown >= 0.0 ? shown * shown : -shown * shown;
    case IntensityScale::Log: return std::pow(10.0, shown);
  }
  return shown;
}

double NiceTickStep(double low, double high, int maxTicks) {
  const double span = high - low;
  if (!std::isfinite(span) || span <= 0.0 || maxTicks < 1) return 0.0;
  const double rough = span / maxTicks;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (const double m : {1.0, 2.0, 5.0, 10.0})
    if (m * power >= rough * (1.0 - 1e-12)) return m * power;
  return 10.0 * power;
}

std::vector<double> NiceTicks(double low, double high, int maxTicks) {
  const double step = NiceTickStep(low, high, maxTicks);
  std::vector<double> ticks;
  if (step <= 0.0) return ticks;
  const double first = std::ceil(low / step - 1e-9);
  for (double k = first;; k += 1.0) {
    const double value = k * step;
    if (value > high + step * 1e-9) break;
    ticks.push_back(std::abs(value) < step * 1e-9 ? 0.0 : value);
  }
  return ticks;
}

AxisRange ZoomRange(const AxisRange& range, double at, double factor, const AxisRange& limits) {
  if (!(factor > 0.0) || !std::isfinite(at)) return range;
  const double minWidth = limits.width() * 1e-6;
  const double width = std::clamp(range.width() / factor, minWidth, limits.width());
  const double fraction = range.width() > 0.0 ? (at - range.low) / range.width() : 0.5;
  AxisRange zoomed{at - fraction * width, at - fraction * width + width};
  return PanRange(zoomed, 0.0, limits);
}

AxisRange PanRange(const AxisRange& range, double delta, const AxisRange& limits) {
  const double width = std::min(range.width(), limits.width());
  double low = range.low + (std::isfinite(delta) ? delta : 0.0);
  low = std::clamp(low, limits.low, limits.high - width);
  return {low, low + width};
}

Polyline ThinForColumns(const std::vector<double>& x, const std::vector<double>& y, const AxisRange& range,
                        std::size_t columns) {
  Polyline out;
  const std::size_t n = std::min(x.size(), y.size());
  if (n == 0 || columns == 0 || !(range.width() > 0.0)) return out;
  const double perColumn = range.width() / static_cast<double>(columns);
  auto inside = [&](std::size_t i) { return x[i] >= range.low && x[i] <= range.high; };

  long long column = std::numeric_limits<long long>::min();
  std::size_t first = 0, last = 0, lowest = 0, highest = 0;
  auto flush = [&] {
    if (column == std::numeric_limits<long long>::min()) return;
    std::size_t picks[4] = {first, lowest, highest, last};
    std::sort(std::begin(picks), std::end(picks));
    for (std::size_t k = 0; k < 4; ++k) {
      if (k > 0 && picks[k] == picks[k - 1]) continue;
      out.x.push_back(x[picks[k]]);
      out.y.push_back(y[picks[k]]);
    }
  };
  for (std::size_t i = 0; i < n; ++i) {
    const bool keep = inside(i) || (i + 1 < n && inside(i + 1)) || (i > 0 && inside(i - 1));
    if (!keep || !std::isfinite(x[i]) || !std::isfinite(y[i])) continue;
    const long long c = static_cast<long long>(std::floor((x[i] - range.low) / perColumn));
    if (c != column || !inside(i)) {
      flush();
      column = inside(i) ? c : std::numeric_limits<long long>::min() + 1 + static_cast<long long>(i);
      first = last = lowest = highest = i;
      continue;
    }
    last = i;
    if (y[i] < y[lowest]) lowest = i;
    if (y[i] > y[highest]) highest = i;
  }
  flush();
  return out;
}

}  // namespace lumora
