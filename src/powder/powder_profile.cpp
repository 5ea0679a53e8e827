#include "powder/powder_profile.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "common/number_text.hpp"
#include "inputs/named_inputs.hpp"

namespace lumora {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
const double kLn2 = std::log(2.0);

struct Peak {
  double centre;     // degrees 2 theta
  double intensity;  // area
};

// The pseudo-Voigt at grid points first..first + shape.size() - 1 of a peak at
// grid position centre (nearest: the closest point), added up in sum. The
// Lorentzian part goes everywhere in one plain pass. The Gaussian factors come
// from the recurrence exp(-b (u + 1)^2) = exp(-b u^2) exp(-b (2u + 1)),
// walking out from the nearest point, with an exact exp every kAnchor points
// and where they get tiny: a multiplication instead of an exp per point, with
// a relative error below 1e-13. Once the Gaussian part is 0, or too small to
// change the Lorentzian part's last digit, the walk stops: it only falls
// further, and faster than the Lorentzian.
double SampleShape(double centre, long long nearest, long long first, double step, double fwhm, double eta,
                   std::vector<double>& shape) {
  constexpr int kAnchor = 32;
  constexpr double kTiny = 1e-250;  // below this the recurrence loses digits to underflow
  const double alpha = 2.0 * step / fwhm;  // r = 2x / H per grid point
  const double b = kLn2 * alpha * alpha;
  const double gaussScale = (1.0 - eta) * (2.0 / fwhm) * std::sqrt(kLn2 / std::numbers::pi);
  const double lorentzScale = eta * 2.0 / (std::numbers::pi * fwhm);
  const double stepFactor = std::exp(-2.0 * b);
  const auto size = static_cast<long long>(shape.size());
  const double start = static_cast<double>(first) - centre;
  double* out = shape.data();
  for (long long k = 0; k < size; ++k) {
    const double r = alpha * (start + static_cast<double>(k));
    out[k] = lorentzScale / (1.0 + r * r);
  }
  for (const int direction : {1, -1}) {
    // From the point nearest the centre (the window's end nearest it when the
    // window is clipped away from the centre) outwards.
    long long k = std::clamp(nearest - first, 0LL, size - 1);
    if (direction < 0) --k;  // the nearest point belongs to the walk upwards
    double gauss = 0.0, ratio = 0.0;
    for (int since = kAnchor; k >= 0 && k < size; k += direction, ++since) {
      const double u = static_cast<double>(k + first) - centre;
      if (since >= kAnchor || gauss < kTiny) {
        gauss = std::exp(-b * u * u);
        ratio = std::exp(-b * (2.0 * direction * u + 1.0));
        since = 0;
      }
      const double part = gaussScale * gauss;
      if (part <= 1e-20 * out[k]) break;
      out[k] += part;
      gauss *= ratio;
      ratio *= stepFactor;
    }
  }
  // Four running sums: no chain of additions waiting on each other.
  double sums[4] = {0.0, 0.0, 0.0, 0.0};
  long long k = 0;
  for (; k + 4 <= size; k += 4)
    for (int j = 0; j < 4; ++j) sums[j] += out[k + j];
  for (; k < size; ++k) sums[0] += out[k];
  return (sums[0] + sums[1]) + (sums[2] + sums[3]);
}

// The area of the unit-area pseudo-Voigt between x0 and x1 (degrees from its centre).
double PseudoVoigtArea(double x0, double x1, double fwhm, double eta) {
  const auto below = [&](double x) {
    const double r = 2.0 * x / fwhm;
    return eta * std::atan(r) / std::numbers::pi + (1.0 - eta) * 0.5 * std::erf(std::sqrt(kLn2) * r);
  };
  return below(x1) - below(x0);
}

// A peak's window reaches at most this many points beyond either end of the
// range before the rest of it is integrated instead of sampled.
constexpr long long kSampledBeyondRange = 4096;

}  // namespace

double CagliotiWidth(double u, double v, double w, double twoTheta) {
  const double t = std::tan(0.5 * twoTheta * kDegree);
  const double h2 = u * t * t + v * t + w;
  return h2 > 0.0 ? std::sqrt(h2) : std::nan("");
}

double PseudoVoigt(double x, double fwhm, double eta) {
  const double r = 2.0 * x / fwhm;
  const double gauss = (2.0 / fwhm) * std::sqrt(kLn2 / std::numbers::pi) * std::exp(-kLn2 * r * r);
  const double lorentz = (2.0 / (std::numbers::pi * fwhm)) / (1.0 + r * r);
  return eta * lorentz + (1.0 - eta) * gauss;
}

std::size_t ProfilePointCount(const ProfileOptions& o) {
  const double steps = std::floor((o.twoThetaMax - o.twoThetaMin) / o.step + 1e-6);
  if (!(steps >= 0.0) || steps >= static_cast<double>(kMaxProfilePoints)) return kMaxProfilePoints + 1;
  return static_cast<std::size_t>(steps) + 1;
}

std::string CheckProfileOptions(const ProfileOptions& o) {
  const auto text = [](double v) { return ShortestText(v); };
  if (!(o.twoThetaMin > 0.0 && o.twoThetaMin < 180.0))
    return "2theta minimum " + text(o.twoThetaMin) + " is not above 0 and below 180 degrees";
  if (!(o.twoThetaMax > o.twoThetaMin && o.twoThetaMax < 180.0))
    return "2theta maximum " + text(o.twoThetaMax) + " is not above the minimum and below 180 degrees";
  if (!(o.step > 0.0)) return "2theta step " + text(o.step) + " is not above 0";
  if (ProfilePointCount(o) > kMaxProfilePoints)
    return "2theta step " + text(o.step) + " gives more than " + std::to_string(kMaxProfilePoints) + " points";
  if (!(std::isfinite(o.u) && std::isfinite(o.v) && std::isfinite(o.w))) return "Caglioti U, V, W must be numbers";
  for (const auto& [input, value] : {std::pair{&input::kCagliotiU, o.u}, {&input::kCagliotiV, o.v}, {&input::kCagliotiW, o.w}})
    if (!input->range.Contains(value))
      return "Caglioti " + std::string(input->label) + " " + text(value) + " " + std::string(input->problem);
  if (!input::kEta.range.Contains(o.eta)) return "eta " + text(o.eta) + " is not from 0 to 1";
  if (!input::kCut.range.Contains(o.cutWidths))
    return "cut " + text(o.cutWidths) + " is not from 1 to 1000 widths";
  if (!input::kZero.range.Contains(o.zeroShift))
    return "zero shift " + text(o.zeroShift) + " is not within 10 degrees of 0";
  if (o.doublet) {
    for (double lambda : *o.doublet)
      if (!(lambda > 0.0 && std::isfinite(lambda))) return "doublet wavelength " + text(lambda) + " is not above 0";
  }
  return {};
}

Profile ComputeProfile(const std::vector<PowderLine>& lines, const ProfileOptions& o, const std::atomic<bool>* cancel) {
  Profile profile;
  profile.error = CheckProfileOptions(o);
  if (!profile.error.empty()) return profile;

  std::vector<Peak> peaks;
  peaks.reserve(lines.size() * (o.doublet ? 2 : 1));
  for (const PowderLine& line : lines) {
    if (!o.doublet) {
      peaks.push_back({line.twoTheta + o.zeroShift, line.intensity});
      continue;
    }
    // Bragg's law for each wavelength; a component beyond 2 theta = 180 is not seen.
    const double weights[2] = {2.0 / 3.0, 1.0 / 3.0};
    for (std::size_t k = 0; k < 2; ++k) {
      const double s = (*o.doublet)[k] / (2.0 * line.d);
      if (s < 1.0) peaks.push_back({2.0 * std::asin(s) / kDegree + o.zeroShift, weights[k] * line.intensity});
    }
  }

  const std::size_t n = ProfilePointCount(o);
  profile.twoTheta.resize(n);
  for (std::size_t i = 0; i < n; ++i) profile.twoTheta[i] = o.twoThetaMin + static_cast<double>(i) * o.step;
  profile.intensity.assign(n, 0.0);

  const auto count = static_cast<long long>(n);
  std::vector<double> shape;
  for (std::size_t k = 0; k < peaks.size(); ++k) {
    const Peak& peak = peaks[k];
    if (cancel && k % 64 == 0 && cancel->load(std::memory_order_relaxed)) {
      profile = Profile{};
      profile.error = "cancelled";
      return profile;
    }
    if (!(peak.centre > 0.0 && peak.centre < 180.0) || peak.intensity == 0.0) continue;
    const double fwhm = CagliotiWidth(o.u, o.v, o.w, peak.centre);
    const double reach = o.cutWidths * fwhm;
    // Peaks that cannot touch the range need no width.
    if (peak.centre + (std::isnan(reach) ? 0.0 : reach) < o.twoThetaMin - o.step ||
        peak.centre - (std::isnan(reach) ? 0.0 : reach) > o.twoThetaMax + o.step)
      continue;
    if (std::isnan(fwhm)) {
      profile = Profile{};
      profile.error = "Caglioti U, V, W give no positive width at 2theta = " + FormatFixed(peak.centre, 4) + " degrees";
      return profile;
    }
    // Grid positions relative to min; the window may run past either end.
    const double centre = (peak.centre - o.twoThetaMin) / o.step;
    const long long nearest = std::llround(centre);
    const double windowFirst = std::min(static_cast<double>(nearest), std::ceil(centre - reach / o.step));
    const double windowLast = std::max(static_cast<double>(nearest), std::floor(centre + reach / o.step));
    // A window far wider than the range (a width that grows with tan theta near
    // 180 degrees) is sampled only near the range; the rest of its sum, which
    // the unit area needs, is the closed-form area there.
    const double lowest = -static_cast<double>(kSampledBeyondRange);
    const double highest = static_cast<double>(count - 1 + kSampledBeyondRange);
    const auto first = static_cast<long long>(std::max(windowFirst, lowest));
    const auto last = static_cast<long long>(std::min(windowLast, highest));
    if (first > last) continue;
    shape.resize(static_cast<std::size_t>(last - first + 1));
    double sum = SampleShape(centre, nearest, first, o.step, fwhm, o.eta, shape);
    const auto offset = [&](double gridPosition) { return (gridPosition - centre) * o.step; };
    if (windowFirst < static_cast<double>(first))
      sum += PseudoVoigtArea(offset(windowFirst - 0.5), offset(static_cast<double>(first) - 0.5), fwhm, o.eta) / o.step;
    if (windowLast > static_cast<double>(last))
      sum += PseudoVoigtArea(offset(static_cast<double>(last) + 0.5), offset(windowLast + 0.5), fwhm, o.eta) / o.step;
    if (!(sum > 0.0)) {  // narrower than the step: all into the nearest point
      if (nearest < first || nearest > last) continue;
      std::fill(shape.begin(), shape.end(), 0.0);
      shape[static_cast<std::size_t>(nearest - first)] = 1.0;
      sum = 1.0;
    }
    const double scale = peak.intensity / (sum * o.step);
    for (long long i = std::max(first, 0LL); i <= std::min(last, count - 1); ++i)
      profile.intensity[static_cast<std::size_t>(i)] += scale * shape[static_cast<std::size_t>(i - first)];
  }
  return profile;
}

}  // namespace lumora
