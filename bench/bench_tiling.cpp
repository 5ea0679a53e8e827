// Tiling generation, the 512 x 512 transform and one brightness redraw.
#include <benchmark/benchmark.h>

#include <random>

#include "fourier/ft_display.hpp"
#include "fourier/ft_transform.hpp"
#include "tiling/multigrid.hpp"

namespace {

lumora::TilingInputs Inputs(int n, int loop, int zoom) {
  lumora::TilingInputs in;
  in.symmetry = n;
  in.loopOrder = loop;
  in.zoom = zoom;
  return in;
}

void BM_MakeTiling(benchmark::State& state) {
  const lumora::TilingInputs in =
      Inputs(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
  std::size_t tiles = 0, vertices = 0;
  for (auto _ : state) {
    std::mt19937 random(lumora::kTilingRandomSeed);
    const lumora::Tiling tiling = lumora::MakeTiling(in, random);
    tiles = tiling.nTiles();
    vertices = tiling.nVert();
    benchmark::DoNotOptimize(tiling.vertX.data());
  }
  state.counters["tiles"] = static_cast<double>(tiles);
  state.counters["vertices"] = static_cast<double>(vertices);
}
BENCHMARK(BM_MakeTiling)
    ->Args({5, 6, 8})
    ->Args({20, 40, 8})
    ->Args({20, 40, 1})
    ->Unit(benchmark::kMillisecond);

lumora::Tiling DenseTiling() {
  std::mt19937 random(lumora::kTilingRandomSeed);
  return lumora::MakeTiling(Inputs(20, 40, 1), random);
}

void BM_Transform512(benchmark::State& state) {
  const lumora::Tiling tiling = DenseTiling();
  for (auto _ : state) {
    std::optional<lumora::FtArray> ft = lumora::runFOURN(tiling.vertexImage);
    benchmark::DoNotOptimize(ft->values.data());
  }
}
BENCHMARK(BM_Transform512)->Unit(benchmark::kMillisecond);

void BM_BrightnessRedraw(benchmark::State& state) {
  const lumora::FtArray ft = *lumora::runFOURN(DenseTiling().vertexImage);
  const lumora::ColorTable grey = lumora::GreyTable();
  float gain = 1.0f;
  for (auto _ : state) {
    gain = lumora::ChangeBrightness(gain, 1);
    std::optional<lumora::FtPicture> picture = lumora::DrawFT(ft, gain, grey);
    benchmark::DoNotOptimize(picture->image.pixels.data());
  }
}
BENCHMARK(BM_BrightnessRedraw)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
