#include "powder/peak_search.hpp"

#include <algorithm>
#include <cmath>
#include <optional>

#include "common/number_text.hpp"

namespace lumora {
namespace {

// Savitzky-Golay weights of a quadratic fit over k = -m..m: the fitted value
// and the second derivative (per point squared) at k = 0.
struct Filter {
  std::vector<double> value, second;
};

Filter QuadraticFilter(int m) {
  double s2 = 0.0, s4 = 0.0;
  for (int k = -m; k <= m; ++k) {
    s2 += k * k;
    s4 += static_cast<double>(k) * k * k * k;
  }
  const double n = 2.0 * m + 1.0;
  const double mean = s2 / n;
  const double spread = s4 - s2 * mean;  // sum of (k^2 - mean)^2
  Filter f;
  for (int k = -m; k <= m; ++k) {
    const double k2 = static_cast<double>(k) * k;
    f.value.push_back((s4 - s2 * k2) / (n * s4 - s2 * s2));
    f.second.push_back(2.0 * (k2 - mean) / spread);
  }
  return f;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  const auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
  std::nth_element(v.begin(), mid, v.end());
  return *mid;
}

// The noise of one intensity, estimated from the pattern itself: second
// differences cancel a smooth signal and leave sqrt(6) times the noise.
double NoiseOfPattern(const std::vector<double>& y) {
  std::vector<double> diffs;
  double largest = 0.0;
  for (std::size_t i = 1; i + 1 < y.size(); ++i) diffs.push_back(std::fabs(y[i + 1] - 2.0 * y[i] + y[i - 1]));
  for (double v : y) largest = std::max(largest, std::fabs(v));
  // A pattern without noise still needs a scale: far below any real peak.
  return std::max(1.4826 * Median(std::move(diffs)) / std::sqrt(6.0), 1e-12 * largest);
}

// The pattern smoothed and its second derivative, with that derivative's
// noise, on the inner points (half a window from either end).
struct Filtered {
  std::vector<double> smooth, second, secondNoise;
  std::size_t half = 0;  // half the window

  // The smoothed pattern at 2 theta t, linear between the inner points.
  double SmoothAt(const std::vector<double>& x, double t) const {
    const std::size_t n = x.size();
    const auto k = static_cast<std::size_t>(std::lower_bound(x.begin(), x.end(), t) - x.begin());
    const std::size_t upper = std::clamp(k, half + 1, n - half - 1);
    const double g = std::clamp((t - x[upper - 1]) / (x[upper] - x[upper - 1]), 0.0, 1.0);
    return smooth[upper - 1] + g * (smooth[upper] - smooth[upper - 1]);
  }
};

Filtered FilterPattern(const MeasuredPattern& p, int smoothingPoints, double flatNoise) {
  const Filter filter = QuadraticFilter(smoothingPoints / 2);
  const std::vector<double>& y = p.intensity;
  const std::size_t n = y.size();
  const bool perPointSigma = p.sigma.size() == n;
  double gain = 0.0;  // sum of the squared weights
  for (double w : filter.second) gain += w * w;
  Filtered f;
  f.half = static_cast<std::size_t>(smoothingPoints / 2);
  f.smooth.assign(n, 0.0);
  f.second.assign(n, 0.0);
  f.secondNoise.assign(n, 0.0);
  for (std::size_t i = f.half; i + f.half < n; ++i) {
    double v = 0.0, s = 0.0, variance = 0.0;
    for (std::size_t k = 0; k < filter.value.size(); ++k) {
      const std::size_t j = i + k - f.half;
      v += filter.value[k] * y[j];
      s += filter.second[k] * y[j];
      if (perPointSigma) variance += filter.second[k] * filter.second[k] * p.sigma[j] * p.sigma[j];
    }
    f.smooth[i] = v;
    f.second[i] = s;
    f.secondNoise[i] = perPointSigma ? std::sqrt(variance) : flatNoise * std::sqrt(gain);
  }
  return f;
}

// The side of the minimum at i towards -1 or +1: it ends at the top of the
// second derivative's positive lobe beyond (where the peak meets its
// background; the lobe is over where it falls below half its top by more than
// the noise) or, when a
// deeper minimum comes first, at the highest point between the two. That end
// must lie depth above the minimum, which the wiggles of noise on a larger
// peak's flank do not; nothing when it does not.
std::optional<std::size_t> Flank(const Filtered& f, std::size_t i, int towards, double depth) {
  const std::vector<double>& d = f.second;
  const std::size_t n = d.size();
  std::size_t top = i;
  for (std::size_t j = i;;) {
    const bool atEnd = towards < 0 ? j == f.half : j + f.half + 1 == n;
    const std::size_t next = atEnd ? j : towards < 0 ? j - 1 : j + 1;
    const bool lobeOver = d[top] > 0.0 && d[next] < 0.5 * d[top] - f.secondNoise[next];
    if (atEnd || lobeOver || d[next] < d[i]) {
      if (d[top] - d[i] >= depth) return top;
      return std::nullopt;
    }
    if (d[next] > d[top]) top = next;
    j = next;
  }
}

struct Top {
  double centre = 0.0;      // degrees
  double height = 0.0;      // mean intensity over the background in the window
  double background = 0.0;  // the background line at the centre
};

// The centroid of the intensity over the background in a window of
// half-width 0.6 reach about the centre itself, found by iteration from start;
// the background is the straight line through the smoothed pattern at
// centre -+ reach, about where the peak meets it. All of it symmetric about
// the centre keeps a symmetric peak's centroid there whatever the error of the
// background. Points count with the part of their cell inside the window.
// Nothing when the centre leaves (low, high) or nothing stands above the line.
std::optional<Top> CentroidTop(const MeasuredPattern& p, const Filtered& f, double start, double reach, double low,
                               double high) {
  const std::vector<double>& x = p.twoTheta;
  const std::size_t n = x.size();
  const double w = 0.6 * reach;
  Top top{start, 0.0};
  for (int iteration = 0; iteration < 50; ++iteration) {
    const double c = top.centre;
    const double backLeft = f.SmoothAt(x, c - reach), backRight = f.SmoothAt(x, c + reach);
    const auto from = std::lower_bound(x.begin(), x.end(), c - w) - x.begin();
    double mass = 0.0, moment = 0.0, width = 0.0;
    for (auto j = static_cast<std::size_t>(std::max<std::ptrdiff_t>(from - 1, 0)); j < n && (j == 0 || x[j - 1] <= c + w);
         ++j) {
      const double halfLeft = 0.5 * (j > 0 ? x[j] - x[j - 1] : x[j + 1] - x[j]);
      const double halfRight = 0.5 * (j + 1 < n ? x[j + 1] - x[j] : x[j] - x[j - 1]);
      const double inside = std::min(x[j] + halfRight, c + w) - std::max(x[j] - halfLeft, c - w);
      if (inside <= 0.0) continue;
      const double background = backLeft + (backRight - backLeft) * (x[j] - (c - reach)) / (2.0 * reach);
      const double a = (p.intensity[j] - background) * inside;
      mass += a;
      moment += a * (x[j] - c);
      width += inside;
    }
    if (!(mass > 0.0)) return std::nullopt;
    const double shift = moment / mass;
    top = {c + shift, mass / width, 0.5 * (backLeft + backRight)};
    if (!(top.centre > low && top.centre < high)) return std::nullopt;
    if (std::fabs(shift) < 1e-9 * w) break;
  }
  return top;
}

// The width of the smoothed pattern at level about centre: where it first
// falls below the level either side, linear between points, within [low, high].
double HalfWidth(const std::vector<double>& x, const Filtered& f, double centre, double level, double low, double high) {
  auto crossing = [&](int towards) {
    const double step = towards * 0.1 * (x[1] - x[0]);
    double previous = centre, value = f.SmoothAt(x, centre);
    for (double t = centre + step; towards < 0 ? t >= low : t <= high; t += step) {
      const double next = f.SmoothAt(x, t);
      if (next < level) return previous + (t - previous) * (value - level) / (value - next);
      previous = t;
      value = next;
    }
    return towards < 0 ? low : high;
  };
  return crossing(1) - crossing(-1);
}

}  // namespace

std::string CheckPeakSearchOptions(const PeakSearchOptions& o) {
  if (!input::kPeakSmoothing.range.Contains(o.smoothingPoints) || o.smoothingPoints % 2 == 0)
    return "smoothing " + std::to_string(o.smoothingPoints) + " is not an odd number of points from 3 to " +
           std::to_string(kMaxSmoothingPoints);
  if (!(o.threshold > 0.0 && std::isfinite(o.threshold)))
    return "threshold " + ShortestText(o.threshold) + " is not a number above 0";
  return {};
}

std::vector<MeasuredPeak> FindPeaks(const MeasuredPattern& pattern, const PeakSearchOptions& options) {
  std::vector<MeasuredPeak> peaks;
  const std::vector<double>& x = pattern.twoTheta;
  const std::size_t n = pattern.intensity.size();
  const auto half = static_cast<std::size_t>(options.smoothingPoints / 2);
  if (!CheckPeakSearchOptions(options).empty() || x.size() != n || n < 2 * half + 3) return peaks;
  const bool perPointSigma = pattern.sigma.size() == n;
  const double flatNoise = perPointSigma ? 0.0 : NoiseOfPattern(pattern.intensity);
  const Filtered f = FilterPattern(pattern, options.smoothingPoints, flatNoise);
  const std::vector<double>& d = f.second;

  // Inner points with both neighbours inner.
  for (std::size_t i = half + 1; i + half + 2 <= n; ++i) {
    const double depth = options.threshold * f.secondNoise[i];
    if (!(d[i] < d[i - 1] && d[i] <= d[i + 1] && -d[i] >= depth)) continue;
    const std::optional<std::size_t> left = Flank(f, i, -1, depth), right = Flank(f, i, 1, depth);
    if (!left || !right) continue;
    // The vertex of the parabola through the minimum and its neighbours starts the centroid.
    const double curvature = d[i - 1] - 2.0 * d[i] + d[i + 1];
    const double offset = curvature > 0.0 ? std::clamp(0.5 * (d[i - 1] - d[i + 1]) / curvature, -0.5, 0.5) : 0.0;
    const double start = x[i] + offset * (x[offset < 0.0 ? i : i + 1] - x[offset < 0.0 ? i - 1 : i]);
    const double reach = std::min(start - x[*left], x[*right] - start);
    const std::optional<Top> top = CentroidTop(pattern, f, start, reach, x[*left], x[*right]);
    if (!top) continue;
    // The top must stand out of the noise of one intensity of the background
    // too: a dip of the second derivative alone is common in noise.
    const double noise = perPointSigma ? 0.5 * (pattern.sigma[*left] + pattern.sigma[*right]) : flatNoise;
    if (!(top->height >= options.threshold * noise)) continue;
    // Two minima of one peak (a shoulder that is none) end at one centre.
    if (!peaks.empty() && top->centre <= peaks.back().twoTheta + 0.5 * (x[i] - x[i - 1])) continue;
    const double summit = f.SmoothAt(x, top->centre);
    peaks.push_back({top->centre, summit, top->height, HalfWidth(x, f, top->centre, 0.5 * (summit + top->background),
                                                                  x[*left], x[*right])});
  }
  return peaks;
}

double TypicalPeakWidth(const std::vector<MeasuredPeak>& peaks) {
  std::vector<MeasuredPeak> strongest = peaks;
  std::sort(strongest.begin(), strongest.end(), [](const MeasuredPeak& l, const MeasuredPeak& r) { return l.height > r.height; });
  std::vector<double> widths;
  for (std::size_t i = 0; i < strongest.size() && widths.size() < 10; ++i)
    if (strongest[i].fwhm > 0.0) widths.push_back(strongest[i].fwhm);
  return Median(std::move(widths));
}

}  // namespace lumora
