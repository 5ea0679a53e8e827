// Enumeration speed in index vectors per second.
#include <benchmark/benchmark.h>

#include <variant>

#include "reflections/calculation.hpp"
#include "reflections/parameters.hpp"

namespace {

lumora::CalculationInputs Inputs(int systemIndex, int loopLimit) {
  lumora::ParameterTexts texts = lumora::StartupParameters();
  texts.systemIndex = systemIndex;
  texts.groupIndex = systemIndex == 1 ? lumora::kStartGroupIndex
                                      : lumora::DefaultGroupIndex(lumora::SystemFromIndex(systemIndex));
  for (std::string& loop : texts.loops) loop = std::to_string(loopLimit);
  return std::get<lumora::CalculationInputs>(lumora::ReadInputs(texts));
}

void RunBox(benchmark::State& state, int systemIndex) {
  const lumora::CalculationInputs inputs = Inputs(systemIndex, static_cast<int>(state.range(0)));
  std::uint64_t visited = 0;
  std::size_t kept = 0;
  for (auto _ : state) {
    const lumora::CalculationResult result = lumora::RunCalculation(inputs);
    visited = result.visited;
    kept = result.records.size();
    benchmark::DoNotOptimize(result.records.data());
  }
  state.counters["vectors/s"] =
      benchmark::Counter(static_cast<double>(visited), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["kept"] = static_cast<double>(kept);
}

void BM_DecagonalDefaults(benchmark::State& state) { RunBox(state, 1); }
void BM_Icosahedral(benchmark::State& state) { RunBox(state, 3); }

BENCHMARK(BM_DecagonalDefaults)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Icosahedral)->Arg(6)->Arg(8)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
