// The powder profile of 100,000 lines over 10,000 steps, and the indexing of
// a 200-peak pattern.
#include <benchmark/benchmark.h>

#include <random>

#include "powder/peak_search.hpp"
#include "powder/powder_indexing.hpp"
#include "powder/powder_profile.hpp"
#include "powder/synthetic_powder.hpp"

namespace {

void BM_Profile(benchmark::State& state) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> position(10.0, 110.0), strength(0.1, 100.0);
  std::vector<lumora::PowderLine> lines(100'000);
  for (lumora::PowderLine& line : lines) {
    line.twoTheta = position(random);
    line.intensity = strength(random);
    line.d = 1.0;
    line.multiplicity = 1;
  }
  lumora::ProfileOptions options;
  options.twoThetaMin = 10.0;
  options.twoThetaMax = 109.99;  // 10,000 points
  options.step = 0.01;
  options.u = 0.004;
  options.w = 0.004;  // FWHM 0.06 to 0.14 degrees; 20 widths either side
  for (auto _ : state) {
    const lumora::Profile profile = lumora::ComputeProfile(lines, options);
    benchmark::DoNotOptimize(profile.intensity.data());
  }
  state.counters["points"] = static_cast<double>(lumora::ProfilePointCount(options));
}
BENCHMARK(BM_Profile)->Unit(benchmark::kMillisecond);

// A measured-like decagonal pattern of about 200 peaks (Cu doublet, 10-100
// degrees, noise): indexed ab initio (state.range(0) = 1) or from a start 2 %
// off in a and c (0).
void BM_Index200Peaks(benchmark::State& state) {
  lumora::synthetic::Structure truth;
  truth.qiLimit = 1.3;
  truth.radius = 0.4;
  lumora::synthetic::Measurement m;
  m.zero = 0.037;
  m.high = 100.0;
  const lumora::MeasuredPattern pattern =
      lumora::synthetic::Pattern(lumora::synthetic::Lines(truth, m.kAlpha1, m.high + 1.0), m);
  lumora::PeakSearchOptions search;
  search.smoothingPoints = 7;
  const std::vector<lumora::MeasuredPeak> found = lumora::FindPeaks(pattern, search);
  std::vector<lumora::ObservedPeak> peaks;
  for (const lumora::MeasuredPeak& p : found) peaks.push_back({p.twoTheta, p.height});
  lumora::CalculationInputs inputs;
  inputs.system = lumora::CrystalSystem::Decagonal;
  inputs.groupIndex = 0;
  inputs.yamamoto = false;
  inputs.a = truth.a * 1.02;
  inputs.c = truth.c * 0.98;
  inputs.qiLimit = truth.qiLimit * truth.a / inputs.a;
  lumora::IndexingOptions options;
  options.abInitio = state.range(0) == 1;
  options.measuredLow = m.low;
  options.measuredHigh = m.high;
  options.peakWidth = lumora::TypicalPeakWidth(found);
  const lumora::WavelengthSetup cu = lumora::MakeWavelengthSetup(1, lumora::WavelengthModel::Doublet, 0.0);
  for (auto _ : state) {
    const lumora::IndexingResult r = lumora::IndexPattern(peaks, inputs, nullptr, cu, {}, options);
    if (!r.reliable) state.SkipWithError(r.Refusal().c_str());
    benchmark::DoNotOptimize(r.a);
  }
  state.counters["peaks"] = static_cast<double>(peaks.size());
}
BENCHMARK(BM_Index200Peaks)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
