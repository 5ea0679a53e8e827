// Zone-axis patterns: simulating the five-fold icosahedral pattern, and
// finding and fitting the spots of a 1024 x 1024 image of it.
#include <benchmark/benchmark.h>

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
GreyImage Image(const ZonePattern& p) {
  GreyImage image;
  image.width = image.height = 1024;
  image.pixels.assign(1024u * 1024u, 0.0f);
  const double k = 450.0, phi = 0.2, cx = 517.3, cy = 498.6;
  std::mt19937 random(1);
  std::normal_distribution<double> normal;
  for (int y = 0; y < 1024; ++y)
    for (int x = 0; x < 1024; ++x) image.At(x, y) = static_cast<float>(20.0 + 200.0 * std::exp(-std::hypot(x - cx, y - cy) / 300.0));
  for (const ZoneSpot& s : p.spots) {
    if (s.laueZone != 0 || s.fSquared < 0.02) continue;
    const double u = cx + k * (s.x * std::cos(phi) - s.y * std::sin(phi)), v = cy - k * (s.x * std::sin(phi) + s.y * std::cos(phi));
    for (int y = static_cast<int>(v) - 6; y <= static_cast<int>(v) + 6; ++y)
      for (int x = static_cast<int>(u) - 6; x <= static_cast<int>(u) + 6; ++x)
        if (x >= 0 && y >= 0 && x < 1024 && y < 1024)
          image.At(x, y) += static_cast<float>(3000.0 * s.fSquared * std::exp(-((x - u) * (x - u) + (y - v) * (y - v)) / 5.12));
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

}  // namespace

BENCHMARK_MAIN();
