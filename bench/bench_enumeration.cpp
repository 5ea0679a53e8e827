// The enumeration: the box walk against the bounded walk, in index vectors of
// the box per second and in time per run.
#include <benchmark/benchmark.h>

#include <variant>

#include "reflections/calculation.hpp"
#include "inputs/parameters.hpp"

namespace {

lumora::CalculationInputs Inputs(int systemIndex, int loopLimit) {
  lumora::ParameterTexts texts = lumora::StartupParameters();
  texts.systemIndex = systemIndex;
  texts.groupIndex = systemIndex == 1 ? lumora::kStartGroupIndex
                                      : lumora::DefaultGroupIndex(lumora::SystemFromIndex(systemIndex));
  for (std::string& loop : texts.loops) loop = std::to_string(loopLimit);
  return std::get<lumora::CalculationInputs>(lumora::ReadInputs(texts));
}

void Walk(benchmark::State& state, int systemIndex, lumora::WalkAlgorithm algorithm) {
  const lumora::CalculationInputs inputs = Inputs(systemIndex, static_cast<int>(state.range(0)));
  lumora::RunControl control;
  control.algorithm = algorithm;
  double box = 0;
  std::size_t kept = 0;
  std::uint64_t visited = 0;
  for (auto _ : state) {
    const lumora::CalculationResult result = lumora::RunCalculation(inputs, control);
    box = static_cast<double>(result.loops);
    kept = result.records.size();
    visited = result.visited;
    benchmark::DoNotOptimize(result.records.data());
  }
  state.counters["box vectors/s"] = benchmark::Counter(box, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["visited"] = static_cast<double>(visited);
  state.counters["kept"] = static_cast<double>(kept);
}

void BM_DecagonalBox(benchmark::State& s) { Walk(s, 1, lumora::WalkAlgorithm::Box); }
void BM_DecagonalBounded(benchmark::State& s) { Walk(s, 1, lumora::WalkAlgorithm::Bounded); }
void BM_IcosahedralBox(benchmark::State& s) { Walk(s, 3, lumora::WalkAlgorithm::Box); }
void BM_IcosahedralBounded(benchmark::State& s) { Walk(s, 3, lumora::WalkAlgorithm::Bounded); }

BENCHMARK(BM_DecagonalBox)->Arg(2)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecagonalBox)->Arg(20)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecagonalBounded)->Arg(2)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_IcosahedralBox)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_IcosahedralBox)->Arg(12)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_IcosahedralBounded)->Arg(4)->Arg(8)->Arg(12)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
