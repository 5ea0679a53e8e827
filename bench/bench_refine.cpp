// A single-crystal refinement of 5,000 reflections and 10 parameters from a
// start far off, with the default search over further starts.
#include <benchmark/benchmark.h>

#include "refine/merging.hpp"
#include "refine/structure_refinement.hpp"
#include "refine/synthetic_data.hpp"

namespace {

lumora::StructureModel BenchModel() {
  return std::get<lumora::StructureModel>(lumora::ParseModel(
      "name bench\nsystem decagonal\nsetting yamamoto\n"
      "P0 Pd 0.5 0 0 0 0 0 disk 0.4 0.5 1\n"
      "P1 Al 0.9 0.2 0.2 0.2 0.2 0 polygon:5:0 1 0.6 1.5\n"
      "P2 Al 1 0.4 0.4 0.4 0.4 0 polygon:5:180 1.618034 0.8 2.5\n"
      "P3 Al 1 0.6 0.6 0.6 0.6 0 polygon:5:0 1.618034 0.8 2.5\n"
      "P4 Al 0.9 0.8 0.8 0.8 0.8 0 polygon:5:180 1 0.6 1.5\n"));
}

void BM_Refine5000Reflections10Parameters(benchmark::State& state) {
  lumora::CalculationInputs in;
  in.system = lumora::CrystalSystem::Decagonal;
  in.groupIndex = lumora::FindGroup("P10.5/mmc")->listIndex;
  in.yamamoto = true;
  in.a = 2.82;
  in.c = 4.1;
  in.wavelength = 0.7107;
  in.thetaLow = 2.0;
  in.thetaHigh = 26.0;
  in.qiLimit = 1.4;
  in.loopLimits.fill(3);
  const lumora::StructureModel truth = BenchModel();
  lumora::testing::SyntheticData data = lumora::testing::MakeSyntheticData(truth, in, 40.0, 0.0, 5);
  if (data.observations.size() < 5000) {
    state.SkipWithError("fewer than 5000 reflections");
    return;
  }
  data.observations.resize(5000);
  lumora::RefinementSetup setup;
  setup.lattice = data.lattice;
  setup.wavelength = data.wavelength;
  setup.start = {truth, 1.0, 0.0, {}};
  for (lumora::Site& s : setup.start.model.sites) {
    s.bPar = 2.0;
    s.bPerp = 0.0;
    s.occupancy = 0.6;
    s.domain.size *= 0.85;
  }
  setup.free = std::get<std::vector<lumora::FreeParameter>>(lumora::ParseParameterList(
      "scale,extinction,occupancy:P0,occupancy:P1=occupancy:P4,b_par:P1=b_par:P4,b_par:P2=b_par:P3,"
      "b_perp:P1=b_perp:P4,b_perp:P2=b_perp:P3,size:P1=size:P4,size:P2=size:P3",
      truth));
  setup.start.model.sites[2].occupancy = setup.start.model.sites[3].occupancy = 1.0;
  setup.data = lumora::KeepObservations(data.observations);
  int iterations = 0;
  for (auto _ : state) {
    const lumora::RefinementOutcome out = lumora::RefineStructure(setup);
    if (out.status != lumora::RefinementStatus::Refined) {
      state.SkipWithError(out.error.c_str());
      return;
    }
    iterations = out.iterations;
    benchmark::DoNotOptimize(out.r1);
  }
  state.counters["reflections"] = static_cast<double>(setup.data.reflections.size());
  state.counters["parameters"] = static_cast<double>(setup.free.size());
  state.counters["iterations"] = iterations;
}
BENCHMARK(BM_Refine5000Reflections10Parameters)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
