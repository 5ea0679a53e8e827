// Structure factors of a million reflections for each built-in model, on
// every core (form-factor tables included). "CPU" is the time of all threads
// together: half of it is the wall time on two idle cores. And the largest
// model file allowed, 10,000 sites of distinct domains, for a few reflections:
// the time to find which sites share a domain.
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

// 10,000 sites, each with a polygon of its own, and 36 reflections.
void BM_ManySites(benchmark::State& state) {
  const lumora::Lattice lattice = lumora::SetupLattice(lumora::CrystalSystem::Decagonal, 2.82, 12.06, true);
  lumora::StructureModel model;
  model.system = lumora::CrystalSystem::Decagonal;
  for (int i = 0; i < 10000; ++i) {
    lumora::Site site;
    site.label = "S" + std::to_string(i);
    site.element = "Al";
    site.x[0] = i * 1e-4;
    site.domain = {lumora::DomainShape::Polygon, 7, 1.0 + i * 1e-4, i * 0.036};
    model.sites.push_back(site);
  }
  const lumora::ResolvedModel resolved = std::get<lumora::ResolvedModel>(lumora::ResolveModel(model, lattice));
  std::vector<lumora::ReflectionRecord> records(36);
  for (std::size_t i = 0; i < records.size(); ++i) records[i].h = {static_cast<float>(i % 6), static_cast<float>(i / 6), 1, 0, 0, 0};
  lumora::IntensityResult result;
  for (auto _ : state) {
    lumora::ComputeIntensities(resolved, lattice, records, 0.7107, result);
    benchmark::DoNotOptimize(result.intensity.data());
  }
}
BENCHMARK(BM_ManySites)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
