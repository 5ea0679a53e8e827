// A single-crystal refinement of 5,000 reflections and 10 parameters from a
// start far off, with the default search over further starts; and the
// whole-pattern fit of 8,000 points (lattice, profile, background and three
// structure parameters, the search included).
#include <benchmark/benchmark.h>

#include "refine/merging.hpp"
#include "refine/structure_refinement.hpp"
#include "refine/synthetic_data.hpp"
#include "refine/synthetic_pattern.hpp"
#include "refine/whole_pattern_fit.hpp"

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

void BM_WholePatternFit8000Points(benchmark::State& state) {
  lumora::CalculationInputs in;
  in.system = lumora::CrystalSystem::Decagonal;
  in.groupIndex = lumora::FindGroup("P10.5/mmc")->listIndex;
  in.yamamoto = true;
  in.a = 2.825;
  in.c = 4.12;
  in.wavelength = 1.5406;
  in.thetaLow = 4.0;
  in.thetaHigh = 46.0;
  in.qiLimit = 1.5;
  in.loopLimits.fill(7);
  lumora::PatternState truth;
  truth.a = in.a;
  truth.c = in.c;
  truth.zero = 0.03;
  truth.u = 0.01;
  truth.v = -0.004;
  truth.w = 0.004;
  truth.eta = 0.4;
  truth.background = {60.0, -12.0, 5.0};
  const lumora::StructureModel model = BenchModel();
  double scale = 0.0;
  const lumora::MeasuredPattern measured = lumora::testing::SyntheticPattern(model, in, truth, 10.0, 89.99, scale, 9);
  // The fit's run: the start's constants, a box too small for whole orbits.
  lumora::WholePatternSetup setup;
  lumora::CalculationInputs start = in;
  start.a *= 1.0005;
  start.c *= 0.9995;
  start.loopLimits.fill(4);
  const lumora::CalculationResult run = lumora::RunCalculation(start);
  setup.lattice = run.lattice;
  setup.lines = lumora::CompleteOrbitLines(run.records, run.lattice, lumora::LatticeHolohedry(run.lattice));
  setup.wavelength = in.wavelength;
  setup.measured = measured;
  lumora::PatternState pattern = truth;
  pattern.a = start.a;
  pattern.c = start.c;
  pattern.zero = 0.0;
  pattern.u = 0.004, pattern.v = 0.0, pattern.w = 0.008, pattern.eta = 0.6;
  pattern.background = {0.0, 0.0, 0.0};
  lumora::StructureModel far = model;
  for (lumora::Site& s : far.sites) s.bPar = 0.0, s.bPerp = 0.0;
  setup.start = {far, 1.0, 0.0, pattern};
  setup.free = std::get<std::vector<lumora::FreeParameter>>(lumora::ParseParameterList(
      "scale,zero,a,c,u,v,w,eta,background,occupancy:P1=occupancy:P4,b_par:P1=b_par:*,b_perp:P1=b_perp:*", far,
      lumora::ParameterScope::PowderPattern, 3));
  int iterations = 0;
  for (auto _ : state) {
    const lumora::WholePatternOutcome out = lumora::FitWholePattern(setup);
    if (out.status != lumora::RefinementStatus::Refined) {
      state.SkipWithError(out.error.c_str());
      return;
    }
    iterations = out.iterations;
    benchmark::DoNotOptimize(out.rwp);
  }
  state.counters["points"] = static_cast<double>(measured.twoTheta.size());
  state.counters["lines"] = static_cast<double>(setup.lines.size());
  state.counters["parameters"] = static_cast<double>(setup.free.size());
  state.counters["iterations"] = iterations;
}
BENCHMARK(BM_WholePatternFit8000Points)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
