// Structure factors of a million reflections for each built-in model, on
// every core (form-factor tables included). "CPU" is the time of all threads
// together: half of it is the wall time on two idle cores.
#include <benchmark/benchmark.h>

#include <random>
#include <variant>

#include "intensity/model_file.hpp"
#include "intensity/structure_factor.hpp"
#include "reflections/compute_reflection.hpp"

namespace {

struct Setup {
  lumora::Lattice lattice;
  lumora::ResolvedModel model;
  std::vector<lumora::ReflectionRecord> records;
};

Setup MakeSetup(const char* name, lumora::CrystalSystem system) {
  Setup s;
  s.lattice = lumora::SetupLattice(system, 2.82, 12.06, true);
  s.model = std::get<lumora::ResolvedModel>(lumora::ResolveModel(*lumora::BuiltinModel(name), s.lattice));
  // A million index vectors drawn from the box of limit 12, as a large run keeps them.
  std::mt19937 random(7);
  std::uniform_int_distribution<int> index(-12, 12);
  const lumora::ReflectionFilter filter{0.7107, 0.0, 90.0, 1e9};
  while (s.records.size() < 1'000'000) {
    lumora::IndexVector h{};
    for (int i = 0; i < s.lattice.nDim; ++i) h[i] = index(random);
    const lumora::ReflectionValues v = lumora::ComputeReflection(s.lattice, h, filter);
    if (!v.ok) continue;
    lumora::ReflectionRecord r;
    for (int i = 0; i < 6; ++i) r.h[i] = static_cast<float>(h[i]);
    r.qe = static_cast<float>(v.qe);
    s.records.push_back(r);
  }
  return s;
}

void BM_Intensities(benchmark::State& state, const char* name, lumora::CrystalSystem system) {
  const Setup s = MakeSetup(name, system);
  lumora::IntensityResult result;
  for (auto _ : state) {
    lumora::ComputeIntensities(s.model, s.lattice, s.records, 0.7107, result);
    benchmark::DoNotOptimize(result.intensity.data());
  }
  state.counters["reflections"] = static_cast<double>(s.records.size());
}

BENCHMARK_CAPTURE(BM_Intensities, penrose, "penrose", lumora::CrystalSystem::Decagonal)
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK_CAPTURE(BM_Intensities, ammann_beenker, "ammann-beenker", lumora::CrystalSystem::Octagonal)
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK_CAPTURE(BM_Intensities, square_triangle, "square-triangle", lumora::CrystalSystem::Dodecagonal)
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK_CAPTURE(BM_Intensities, ammann_kramer, "ammann-kramer", lumora::CrystalSystem::Icosahedral)
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
