// Zone-axis patterns: simulating the five-fold icosahedral pattern, and
// finding and fitting the spots of a 1024 x 1024 image of it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "intensity/model_file.hpp"
#include "zone/spot_finder.hpp"
#include "zone/zone_fit.hpp"

namespace {

using namespace lumora;

ZoneInputs FiveFold() {
  ZoneInputs in;
  in.calculation.system = CrystalSystem::Icosahedral;
  in.calculation.groupIndex = FindGroup("P235")->listIndex;
  in.calculation.a = 5.1;
  in.calculation.qiLimit = 1.5;
  in.calculation.loopLimits.fill(6);
  in.beam.axisName = "5";
  in.gMax = 1.0;
  in.sMax = 0.2;
  return in;
}

void BM_SimulatePattern(benchmark::State& state) {
  const ZoneInputs in = FiveFold();
  for (auto _ : state) benchmark::DoNotOptimize(SimulateZonePattern(in).spots.size());
}
BENCHMARK(BM_SimulatePattern)->Unit(benchmark::kMillisecond);

// The decagonal periodic axis with the Penrose model, 200 kV, 1.5 1/A.
void BM_SimulateDecagonal(benchmark::State& state) {
  ZoneInputs in;
  in.calculation.system = CrystalSystem::Decagonal;
  in.calculation.groupIndex = FindGroup("P10.5/mmc")->listIndex;
  in.calculation.a = 2.82;
  in.calculation.c = 12.06;
  in.calculation.qiLimit = 1.5;
  in.calculation.loopLimits.fill(4);
  in.beam.axisName = "10";
  const StructureModel model = *BuiltinModel("penrose");
  for (auto _ : state) benchmark::DoNotOptimize(SimulateZonePattern(in, &model).spots.size());
}
BENCHMARK(BM_SimulateDecagonal)->Unit(benchmark::kMillisecond);

// The zero layer drawn as Gaussian spots on a noisy falling background.
// Each spot drawn with |F|^2 times its dimming (1 when none given).
GreyImage Image(const ZonePattern& p, double peak = 3000.0, const std::vector<double>* dimming = nullptr) {
  GreyImage image;
  image.width = image.height = 1024;
  image.pixels.assign(1024u * 1024u, 0.0f);
  const double k = 450.0, phi = 0.2, cx = 517.3, cy = 498.6;
  std::mt19937 random(1);
  std::normal_distribution<double> normal;
  for (int y = 0; y < 1024; ++y)
    for (int x = 0; x < 1024; ++x) image.At(x, y) = static_cast<float>(20.0 + 200.0 * std::exp(-std::hypot(x - cx, y - cy) / 300.0));
  for (std::size_t i = 0; i < p.spots.size(); ++i) {
    const ZoneSpot& s = p.spots[i];
    if (s.laueZone != 0 || s.fSquared < 0.02) continue;
    const double strength = s.fSquared * (dimming ? (*dimming)[i] : 1.0);
    const double u = cx + k * (s.x * std::cos(phi) - s.y * std::sin(phi)), v = cy - k * (s.x * std::sin(phi) + s.y * std::cos(phi));
    for (int y = static_cast<int>(v) - 6; y <= static_cast<int>(v) + 6; ++y)
      for (int x = static_cast<int>(u) - 6; x <= static_cast<int>(u) + 6; ++x)
        if (x >= 0 && y >= 0 && x < 1024 && y < 1024)
          image.At(x, y) += static_cast<float>(peak * strength * std::exp(-((x - u) * (x - u) + (y - v) * (y - v)) / 5.12));
  }
  for (float& v : image.pixels) v = static_cast<float>(std::max(0.0, v + std::sqrt(v) * normal(random)));
  return image;
}

void BM_FitImage(benchmark::State& state) {
  const ZonePattern pattern = SimulateZonePattern(FiveFold());
  const GreyImage image = Image(pattern);
  for (auto _ : state) {
    const std::vector<FoundSpot> found = FindSpots(image);
    const ZoneFit fit = FitZoneImage(pattern, found, image.width, image.height);
    state.counters["reliable"] = fit.reliable ? 1.0 : 0.0;
    benchmark::DoNotOptimize(fit.k);
  }
}
BENCHMARK(BM_FitImage)->Unit(benchmark::kMillisecond);

// The same image tilted by 0.3 and -0.2 degrees (200 A thick): spots dimmed
// by 1 / (1 + 2 (pi t s)^2), fitted with the tilt and no start centre, so
// that the centre search beyond the similar pairs runs too.
void BM_FitTiltedImage(benchmark::State& state) {
  ZoneInputs in = FiveFold();
  in.thickness = 200.0;
  const ZonePattern pattern = SimulateZonePattern(in);
  in.beam.tiltX = 0.3;
  in.beam.tiltY = -0.2;
  const ZonePattern seen = SimulateZonePattern(in);
  std::vector<double> dimming;
  for (const ZoneSpot& s : pattern.spots) {
    const auto same = std::find_if(seen.spots.begin(), seen.spots.end(), [&](const ZoneSpot& t) { return t.h == s.h; });
    const double x = 3.14159265358979323846 * 200.0 * (same == seen.spots.end() ? 1.0 : same->excitationError);
    dimming.push_back(1.0 / (1.0 + 2.0 * x * x));
  }
  const GreyImage image = Image(pattern, 20000.0, &dimming);
  ZoneFitOptions options;
  options.fitTilt = true;
  for (auto _ : state) {
    const ZoneFit fit = FitZoneImage(pattern, FindSpots(image), image.width, image.height, options);
    if (!fit.reliable) state.SetLabel(fit.verdict + " c " + std::to_string(fit.cx) + " " + std::to_string(fit.cy) + " k " + std::to_string(fit.k));
    state.counters["reliable"] = fit.reliable ? 1.0 : 0.0;
    benchmark::DoNotOptimize(fit.k);
  }
}
BENCHMARK(BM_FitTiltedImage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
