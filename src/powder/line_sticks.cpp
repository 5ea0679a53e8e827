#include "powder/line_sticks.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/number_text.hpp"
#include "powder/powder_lines.hpp"

namespace lumora {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

double BraggTwoTheta(double q, double wavelength) {
  const double s = 0.5 * wavelength * q;
  return s < 1.0 ? 2.0 * std::asin(s) / kDegree : std::nan("");
}

}  // namespace

std::string WavelengthSetup::Describe() const {
  switch (model) {
    case WavelengthModel::Doublet:
      return "K-alpha1 " + ShortestText(kAlpha1) + " A and K-alpha2 " + ShortestText(kAlpha2) +
             " A (intensity ratio " + ShortestText(ratio) + ")";
    case WavelengthModel::KAlpha1: return "K-alpha1 only, " + ShortestText(kAlpha1) + " A";
    case WavelengthModel::Single: return "one wavelength, " + ShortestText(kAlpha1) + " A";
  }
  return "";
}

WavelengthSetup MakeWavelengthSetup(int anodeIndex, WavelengthModel model, double typedWavelength) {
  WavelengthSetup setup;
  const std::optional<EmissionLines> lines = AnodeEmissionLines(anodeIndex);
  if (!lines || model == WavelengthModel::Single) {
    setup.kAlpha1 = typedWavelength;
    return setup;
  }
  setup.model = model;
  setup.kAlpha1 = lines->kAlpha1;
  if (model == WavelengthModel::Doublet) {
    setup.kAlpha2 = lines->kAlpha2;
    setup.ratio = lines->ratio;
  }
  return setup;
}

double ComponentWavelength(const WavelengthSetup& setup, StickComponent component) {
  switch (component) {
    case StickComponent::KAlpha1: return setup.kAlpha1;
    case StickComponent::KAlpha2: return setup.kAlpha2;
    case StickComponent::Blend: return (setup.kAlpha1 + setup.ratio * setup.kAlpha2) / (1.0 + setup.ratio);
  }
  return setup.kAlpha1;
}

double Closeness(double difference, double tolerance) {
  const double x = difference / tolerance;
  return std::pow(10.0, -x * x);
}

std::vector<Stick> MakeSticks(const std::vector<ScalableLine>& lines, double a, double c, double zero,
                              const WavelengthSetup& setup, double low, double high, double fwhm,
                              double monochromatorTwoTheta) {
  std::vector<Stick> sticks;
  const bool doublet = setup.model == WavelengthModel::Doublet;
  const double first = doublet ? 1.0 / (1.0 + setup.ratio) : 1.0;
  const double second = doublet ? setup.ratio / (1.0 + setup.ratio) : 0.0;
  const double blendWavelength = ComponentWavelength(setup, StickComponent::Blend);
  // Lines whose q no modelled wavelength brings into the range are passed over early.
  const double longest = doublet ? setup.kAlpha2 : setup.kAlpha1;
  const double qLow = 2.0 * std::sin(0.5 * std::clamp(low - zero, 0.0, 180.0) * kDegree) / longest;
  const double qHigh = 2.0 * std::sin(0.5 * std::clamp(high - zero, 0.0, 180.0) * kDegree) / setup.kAlpha1;
  double total = 0.0;
  for (std::size_t j = 0; j < lines.size(); ++j) {
    const ScalableLine& line = lines[j];
    const double q = LineQ(line, a, c);
    if (q < qLow * (1.0 - 1e-9) || q > qHigh * (1.0 + 1e-9)) continue;
    const int index = static_cast<int>(j);
    double parts[2] = {0.0, 0.0};
    double at[2] = {std::nan(""), std::nan("")};
    for (int k = 0; k < (doublet ? 2 : 1); ++k) {
      const double bragg = BraggTwoTheta(q, k == 0 ? setup.kAlpha1 : setup.kAlpha2);
      if (!(bragg < 180.0)) continue;
      at[k] = bragg + zero;
      parts[k] = line.strength * LorentzPolarisation(bragg, monochromatorTwoTheta) * (k == 0 ? first : second);
      if (!std::isfinite(parts[k])) parts[k] = 0.0;
    }
    const double separation = doublet && std::isfinite(at[0]) && std::isfinite(at[1]) ? at[1] - at[0] : 1e300;
    const bool blended = separation < kBlendWidths * fwhm;
    for (int k = 0; k < 2; ++k)
      if (at[k] >= low && at[k] <= high) {
        const bool fitted = k == 0 && separation >= kCleanPairWidths * fwhm;
        sticks.push_back({at[k], parts[k], index, k == 0 ? StickComponent::KAlpha1 : StickComponent::KAlpha2,
                          !blended, true, fitted});
        total += parts[k];
      }
    if (blended) {
      const double blend = BraggTwoTheta(q, blendWavelength) + zero;
      if (blend >= low && blend <= high)
        sticks.push_back({blend, parts[0] + parts[1], index, StickComponent::Blend, true, false,
                          separation < kCleanBlendWidths * fwhm});
    }
  }
  if (total > 0.0)
    for (Stick& s : sticks) s.share /= total;
  std::sort(sticks.begin(), sticks.end(), [](const Stick& l, const Stick& r) { return l.twoTheta < r.twoTheta; });
  // Another line's stick close by pulls the peak's centroid too.
  for (std::size_t i = 0; i < sticks.size(); ++i) {
    Stick& s = sticks[i];
    if (!s.fitted) continue;
    for (std::size_t j = i; j-- > 0 && s.twoTheta - sticks[j].twoTheta < fwhm && s.fitted;)
      s.fitted = !(sticks[j].intensity && sticks[j].line != s.line && sticks[j].share >= kPullShare * s.share);
    for (std::size_t j = i + 1; j < sticks.size() && sticks[j].twoTheta - s.twoTheta < fwhm && s.fitted; ++j)
      s.fitted = !(sticks[j].intensity && sticks[j].line != s.line && sticks[j].share >= kPullShare * s.share);
  }
  return sticks;
}

std::vector<PeakMatch> MatchPeaks(const std::vector<ObservedPeak>& peaks, const std::vector<Stick>& sticks,
                                  double tolerance, double minShare, double width) {
  struct Pair {
    double score;
    std::size_t peak;
    std::size_t stick;
  };
  std::vector<Pair> pairs;
  for (std::size_t k = 0; k < peaks.size(); ++k) {
    const double t = peaks[k].twoTheta;
    auto it = std::lower_bound(sticks.begin(), sticks.end(), t - tolerance,
                               [](const Stick& s, double v) { return s.twoTheta < v; });
    for (; it != sticks.end() && it->twoTheta <= t + tolerance; ++it)
      if (it->indexable && it->share >= minShare)
        pairs.push_back({it->share * Closeness(it->twoTheta - t, width), k,
                         static_cast<std::size_t>(it - sticks.begin())});
  }
  // The best explanations first; ties keep the order of peaks and sticks.
  std::stable_sort(pairs.begin(), pairs.end(), [](const Pair& l, const Pair& r) { return l.score > r.score; });
  std::vector<PeakMatch> matches(peaks.size());
  std::vector<double> best(peaks.size(), 0.0);
  std::vector<bool> taken(sticks.size(), false);
  for (const Pair& p : pairs) {
    if (matches[p.peak].stick >= 0 || taken[p.stick]) continue;
    matches[p.peak].stick = static_cast<int>(p.stick);
    best[p.peak] = p.score;
    taken[p.stick] = true;
  }
  for (const Pair& p : pairs) {
    PeakMatch& m = matches[p.peak];
    if (m.stick >= 0 && sticks[p.stick].line != sticks[static_cast<std::size_t>(m.stick)].line &&
        p.score >= 0.5 * best[p.peak])
      m.ambiguous = true;
  }
  return matches;
}

DoubletEvidence KAlpha2Evidence(const std::vector<Stick>& sticks, const std::vector<PeakMatch>& matches) {
  std::vector<bool> taken(sticks.size(), false);
  double weakest = 1.0;
  for (const PeakMatch& m : matches)
    if (m.stick >= 0) {
      taken[static_cast<std::size_t>(m.stick)] = true;
      weakest = std::min(weakest, sticks[static_cast<std::size_t>(m.stick)].share);
    }
  std::vector<int> firstTaken;
  for (std::size_t i = 0; i < sticks.size(); ++i)
    if (taken[i] && sticks[i].component == StickComponent::KAlpha1) firstTaken.push_back(sticks[i].line);
  std::sort(firstTaken.begin(), firstTaken.end());
  DoubletEvidence e;
  for (std::size_t i = 0; i < sticks.size(); ++i) {
    const Stick& s = sticks[i];
    if (s.component != StickComponent::KAlpha2 || !s.indexable || s.share < weakest) continue;
    if (!std::binary_search(firstTaken.begin(), firstTaken.end(), s.line)) continue;
    ++e.expected;
    e.found += taken[i];
  }
  return e;
}

}  // namespace lumora
