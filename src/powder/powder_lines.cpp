#include "powder/powder_lines.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

#include "common/number_text.hpp"
#include "inputs/named_inputs.hpp"

namespace lumora {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

double TwoThetaOf(double d, double wavelength) {
  const double s = std::min(1.0, wavelength / (2.0 * d));
  return 2.0 * std::asin(s) / kDegree;
}

}  // namespace

double LorentzPolarisation(double twoTheta, double monochromatorTwoTheta) {
  const double theta = 0.5 * twoTheta * kDegree;
  const double cos2 = std::cos(twoTheta * kDegree);
  const double cosM = std::cos(monochromatorTwoTheta * kDegree);
  const double sinT = std::sin(theta);
  const double polarisation = (1.0 + cosM * cosM * cos2 * cos2) / (1.0 + cosM * cosM);
  return polarisation / (sinT * sinT * std::cos(theta));
}

double LorentzFactor(double twoTheta) {
  const double theta = 0.5 * twoTheta * kDegree;
  const double sinT = std::sin(theta);
  return 1.0 / (sinT * sinT * std::cos(theta));
}

std::string CheckLineOptions(const LineOptions& options) {
  if (!input::kTolerance.range.Contains(options.tolerance))
    return "tolerance " + ShortestText(options.tolerance) + " is not from 0 to below 0.1";
  if (!input::kMonochromator.range.Contains(options.monochromatorTwoTheta))
    return "monochromator angle " + ShortestText(options.monochromatorTwoTheta) + " is not from 0 to below 180 degrees";
  return {};
}

PowderLines BuildPowderLines(const std::vector<ReflectionRecord>& records, const std::vector<double>* intensities,
                             double wavelength, const LineOptions& options) {
  std::vector<std::size_t> order(records.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&records](std::size_t l, std::size_t r) { return records[l].d > records[r].d; });

  PowderLines result;
  std::size_t i = 0;
  while (i < order.size()) {
    const double first = static_cast<double>(records[order[i]].d);
    std::size_t end = i;
    while (end < order.size() && first - static_cast<double>(records[order[end]].d) <= options.tolerance * first) ++end;

    // Within a line, the run's order.
    std::sort(order.begin() + static_cast<std::ptrdiff_t>(i), order.begin() + static_cast<std::ptrdiff_t>(end));
    PowderLine line;
    double sumD = 0.0;
    double sumI = 0.0;
    for (std::size_t k = i; k < end; ++k) {
      const std::size_t r = order[k];
      const ReflectionRecord& record = records[r];
      std::array<int, 6> h{};
      for (std::size_t n = 0; n < 6; ++n) h[n] = static_cast<int>(std::lround(record.h[n]));
      line.indices.push_back(h);
      line.qi.push_back(static_cast<double>(record.qi));
      sumD += static_cast<double>(record.d);
      sumI += intensities ? (*intensities)[r] : 1.0;
    }
    line.multiplicity = static_cast<int>(end - i);
    line.d = sumD / static_cast<double>(line.multiplicity);
    line.twoTheta = TwoThetaOf(line.d, wavelength);
    const double lp = options.polarised ? LorentzPolarisation(line.twoTheta, options.monochromatorTwoTheta)
                                        : LorentzFactor(line.twoTheta);
    // At 2 theta = 180 the Lorentz factor has no finite value.
    if (std::isfinite(lp) && line.twoTheta > 0.0 && std::cos(0.5 * line.twoTheta * kDegree) > 1e-9) {
      line.intensity = sumI * lp;
      line.strength = sumI;
      result.lines.push_back(std::move(line));
    } else {
      result.droppedAtBackscatter += end - i;
    }
    i = end;
  }
  return result;
}

void CountCompleteOrbits(std::vector<PowderLine>& lines, const std::vector<ReflectionRecord>& complete,
                         const LineOptions& options) {
  std::vector<double> d;
  d.reserve(complete.size());
  for (const ReflectionRecord& r : complete) d.push_back(static_cast<double>(r.d));
  std::sort(d.begin(), d.end());
  for (PowderLine& line : lines) {
    const double reach = (options.tolerance + 1e-6) * line.d;
    line.completeMultiplicity = static_cast<int>(std::upper_bound(d.begin(), d.end(), line.d + reach) -
                                                 std::lower_bound(d.begin(), d.end(), line.d - reach));
  }
}

void ScaleLinesToPercent(std::vector<PowderLine>& lines) {
  double strongest = 0.0;
  for (const PowderLine& line : lines) strongest = std::max(strongest, line.intensity);
  if (!(strongest > 0.0)) return;
  for (PowderLine& line : lines) line.intensity = 100.0 * line.intensity / strongest;
}

}  // namespace lumora
