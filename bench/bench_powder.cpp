// The powder profile of 100,000 lines over 10,000 steps, and the indexing and
// refinement of 100 peaks against the lines of a large run.
#include <benchmark/benchmark.h>

#include <random>

#include "powder/powder_profile.hpp"
#include "powder/powder_refinement.hpp"

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

// state.range(0): the start's offset from a and c in units of 0.05 %.
void BM_Refine100Peaks(benchmark::State& state) {
  lumora::CalculationInputs inputs;
  inputs.system = lumora::CrystalSystem::Decagonal;
  inputs.groupIndex = 0;
  inputs.a = 2.82;
  inputs.c = 12.06;
  inputs.wavelength = 1.5406;
  inputs.thetaLow = 5.0;
  inputs.thetaHigh = 60.0;
  inputs.qiLimit = 2.0;
  inputs.loopLimits.fill(4);
  const lumora::CalculationResult run = lumora::RunCalculation(inputs);
  const lumora::PowderLines lines = lumora::BuildPowderLines(run.records, nullptr, inputs.wavelength);
  // 100 lines spread over the range, shifted by 0.03 degrees with noise.
  std::mt19937 random(5);
  std::normal_distribution<double> noise(0.0, 0.002);
  std::vector<double> peaks;
  for (std::size_t k = 0; k < 100; ++k)
    peaks.push_back(lines.lines[k * lines.lines.size() / 100].twoTheta + 0.03 + noise(random));
  lumora::CalculationInputs start = inputs;
  const double off = 0.0005 * static_cast<double>(state.range(0));
  start.a = 2.82 * (1.0 + off);
  start.c = 12.06 * (1.0 - off);
  lumora::RefineOptions options;
  options.refineC = true;
  for (auto _ : state) {
    const lumora::RefinementResult r = lumora::RefineLattice(peaks, start, run.records, {}, options);
    if (!r.error.empty()) state.SkipWithError(r.error.c_str());
    benchmark::DoNotOptimize(r.a);
  }
  state.counters["lines"] = static_cast<double>(lines.lines.size());
}
// 0.05 % off: straight to the answer; 1 % off: the start is searched for first.
BENCHMARK(BM_Refine100Peaks)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
