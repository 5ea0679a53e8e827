// Bragg intensities of the exact vertex set: 40,000 vertices at 2,000 module points.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

#include "tiling/exact_diffraction.hpp"
#include "tiling/multigrid.hpp"

namespace {

void BM_BraggIntensities(benchmark::State& state) {
  lumora::TilingInputs in;
  in.symmetry = static_cast<int>(state.range(0));
  in.loopOrder = 40;
  in.zoom = 1;
  in.width = in.height = 600;  // room for 40,000 vertices
  std::mt19937 random(lumora::kTilingRandomSeed);
  const lumora::Tiling tiling = lumora::MakeTiling(in, random);
  std::vector<std::array<double, 2>> xs = lumora::LatticeVertexPositions(tiling);
  xs.resize(std::min<std::size_t>(xs.size(), 40000));
  auto points = lumora::FourierModulePoints(in.symmetry, 3.0, 2.0, 100000);
  if (!points || points->size() < 2000 || xs.size() < 40000) {
    state.SkipWithError("too few vertices or module points");
    return;
  }
  points->resize(2000);
  for (auto _ : state) {
    const std::vector<double> intensity = lumora::BraggIntensities(in.symmetry, xs, *points);
    benchmark::DoNotOptimize(intensity.data());
  }
  state.counters["vertices"] = static_cast<double>(xs.size());
  state.counters["points"] = static_cast<double>(points->size());
}
BENCHMARK(BM_BraggIntensities)->Arg(5)->Arg(8)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
