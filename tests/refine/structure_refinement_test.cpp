// Refinement of synthetic data made from a known model: the parameters come
// back from a start far off (within 3 su with noise, exactly without), R1 is 0
// at the truth, the su agree with the scatter of the results over noise
// realisations, and a parameter the data cannot fix is refused by name.
#include <gtest/gtest.h>

#include <cmath>

#include "refine/merging.hpp"
#include "refine/structure_refinement.hpp"
#include "refine/synthetic_data.hpp"
#include <map>

namespace lumora {
namespace {

// The Penrose tiling's four pentagons with occupancies and Debye-Waller factors.
StructureModel TrueModel() {
  return std::get<StructureModel>(ParseModel(
      "name test\nsystem decagonal\nsetting yamamoto\n"
      "P1 Al 0.9 0.2 0.2 0.2 0.2 0 polygon:5:0 1 0.6 1.5\n"
      "P2 Al 1 0.4 0.4 0.4 0.4 0 polygon:5:180 1.618034 0.6 2.5\n"
      "P3 Al 1 0.6 0.6 0.6 0.6 0 polygon:5:0 1.618034 0.6 2.5\n"
      "P4 Al 0.9 0.8 0.8 0.8 0.8 0 polygon:5:180 1 0.6 1.5\n"));
}

CalculationInputs Inputs() {
  CalculationInputs in;
  in.system = CrystalSystem::Decagonal;
  in.groupIndex = FindGroup("P10.5/mmc")->listIndex;
  in.yamamoto = true;
  in.a = 2.82;
  in.c = 4.1;
  in.wavelength = 0.7107;
  in.thetaLow = 2.0;
  in.thetaHigh = 28.0;
  in.qiLimit = 1.6;
  in.loopLimits.fill(3);
  return in;
}

constexpr const char* kRefined =
    "scale,extinction,occupancy:P1=occupancy:P4,b_par:P1=b_par:*,b_perp:P1=b_perp:P4,b_perp:P2=b_perp:P3,"
    "size:P2=size:P3";

struct Truth {
  double extinction;
  std::map<std::string, double> values;
};

Truth TrueValues(double extinction) {
  return {extinction,
          {{"occupancy:P1=occupancy:P4", 0.9}, {"b_par:P1=b_par:P2=b_par:P3=b_par:P4", 0.6},
           {"b_perp:P1=b_perp:P4", 1.5}, {"b_perp:P2=b_perp:P3", 2.5}, {"size:P2=size:P3", 1.618034},
           {"scale", 40.0}, {"extinction", extinction}}};
}

RefinementSetup MakeSetup(const testing::SyntheticData& data, const StructureModel& start, double extinction) {
  RefinementSetup setup;
  setup.lattice = data.lattice;
  setup.wavelength = data.wavelength;
  setup.start = {start, 1.0, extinction, {}};
  setup.free = std::get<std::vector<FreeParameter>>(ParseParameterList(kRefined, start));
  setup.data = MergeObservations(data.observations, LatticeHolohedry(data.lattice), data.lattice.nDim);
  return setup;
}

StructureModel FarStart() {
  StructureModel m = TrueModel();
  for (Site& s : m.sites) {
    s.bPar = 2.0;
    s.bPerp = 0.0;
  }
  m.sites[0].occupancy = m.sites[3].occupancy = 0.5;
  m.sites[1].domain.size = m.sites[2].domain.size = 1.35;
  return m;
}

TEST(StructureRefinement, NoiseFreeDataGiveTheTruthFromAFarStart) {
  const testing::SyntheticData probe = testing::MakeSyntheticData(TrueModel(), Inputs(), 40.0, 0.0, 0);
  const double extinction = 0.5 / probe.largestExtinctionTerm;  // the strongest reflection loses 18 %
  const testing::SyntheticData data = testing::MakeSyntheticData(TrueModel(), Inputs(), 40.0, extinction, 0);
  // At the truth every reflection is fitted exactly.
  {
    RefinementSetup setup = MakeSetup(data, TrueModel(), extinction);
    setup.start.scale = 40.0;
    const RefinementOutcome atTruth = RefineStructure(setup);
    ASSERT_EQ(atTruth.status, RefinementStatus::Refined) << atTruth.error;
    EXPECT_LT(atTruth.r1, 1e-7);
    EXPECT_LT(atTruth.wR2, 1e-7);
  }
  const RefinementOutcome out = RefineStructure(MakeSetup(data, FarStart(), 0.0));
  ASSERT_EQ(out.status, RefinementStatus::Refined) << out.error;
  EXPECT_GT(data.observations.size(), 1000u);
  EXPECT_LT(out.r1, 1e-6);
  const Truth truth = TrueValues(extinction);
  for (const RefinedValue& p : out.parameters) {
    ASSERT_TRUE(truth.values.count(p.name)) << p.name;
    EXPECT_NEAR(p.value, truth.values.at(p.name), 1e-5 * std::fabs(truth.values.at(p.name)) + 1e-8) << p.name;
  }
}

TEST(StructureRefinement, NoisyDataGiveTheTruthWithin3SuFromAFarStart) {
  const testing::SyntheticData probe = testing::MakeSyntheticData(TrueModel(), Inputs(), 40.0, 0.0, 0);
  const double extinction = 0.5 / probe.largestExtinctionTerm;
  const testing::SyntheticData data = testing::MakeSyntheticData(TrueModel(), Inputs(), 40.0, extinction, 11);
  const RefinementOutcome out = RefineStructure(MakeSetup(data, FarStart(), 0.0));
  ASSERT_EQ(out.status, RefinementStatus::Refined) << out.error;
  EXPECT_NEAR(out.gof, 1.0, 0.25);
  EXPECT_GT(out.r1, 0.0);
  const Truth truth = TrueValues(extinction);
  for (const RefinedValue& p : out.parameters) {
    EXPECT_GT(p.su, 0.0) << p.name;
    EXPECT_LT(std::fabs(p.value - truth.values.at(p.name)), 3.0 * p.su) << p.name << " = " << p.value << " +- " << p.su;
  }
  for (double r : out.correlations) EXPECT_LE(std::fabs(r), 1.0 + 1e-12);
  ASSERT_FALSE(out.worst.empty());
  const auto misfit = [&](std::size_t i) {
    const FittedReflection& f = out.reflections[i];
    return f.weight * (f.observed - f.calculated) * (f.observed - f.calculated);
  };
  for (std::size_t k = 0; k < out.reflections.size(); ++k) EXPECT_LE(misfit(k), misfit(out.worst[0]) * (1 + 1e-12));
}

TEST(StructureRefinement, UncertaintiesMatchTheScatterOverNoiseRealisations) {
  const testing::SyntheticData clean = testing::MakeSyntheticData(TrueModel(), Inputs(), 40.0, 0.0, 0);
  const int realisations = 40;
  std::map<std::string, std::vector<double>> values, sus;
  for (int k = 0; k < realisations; ++k) {
    const testing::SyntheticData data = testing::MakeSyntheticData(TrueModel(), Inputs(), 40.0, 0.0, 100 + k);
    RefinementSetup setup = MakeSetup(data, TrueModel(), 0.0);
    setup.free.erase(setup.free.begin() + 1);  // no extinction: it would sit at its bound 0
    setup.searchStarts = 0;                     // starting at the truth
    const RefinementOutcome out = RefineStructure(setup);
    ASSERT_EQ(out.status, RefinementStatus::Refined) << out.error;
    for (const RefinedValue& p : out.parameters) {
      values[p.name].push_back(p.value);
      sus[p.name].push_back(p.su);
    }
  }
  for (const auto& [name, v] : values) {
    double mean = 0.0, su = 0.0;
    for (double x : v) mean += x / realisations;
    for (double s : sus[name]) su += s / realisations;
    double var = 0.0;
    for (double x : v) var += (x - mean) * (x - mean) / (realisations - 1);
    // The spread of 40 results is known to about 11 %: allow three times that.
    EXPECT_NEAR(std::sqrt(var) / su, 1.0, 0.35) << name << ": scatter " << std::sqrt(var) << ", su " << su;
  }
}

TEST(StructureRefinement, RefusesTwoSolutionsTheDataCannotTellApart) {
  // P1 and P4 are each other's inversion image: swapping their occupancies
  // leaves every |F| as it was, so 0.9/0.6 and 0.6/0.9 fit alike.
  StructureModel truth = TrueModel();
  truth.sites[3].occupancy = 0.6;
  const testing::SyntheticData data = testing::MakeSyntheticData(truth, Inputs(), 40.0, 0.0, 21);
  RefinementSetup setup = MakeSetup(data, truth, 0.0);
  setup.free = std::get<std::vector<FreeParameter>>(ParseParameterList("scale,occupancy:P1,occupancy:P4", truth));
  const RefinementOutcome out = RefineStructure(setup);
  EXPECT_EQ(out.status, RefinementStatus::Refused);
  EXPECT_EQ(out.error.rfind("two solutions fit the data equally well", 0), 0u) << out.error;
  // Held equal, the pair has one answer again.
  setup.free = std::get<std::vector<FreeParameter>>(ParseParameterList("scale,occupancy:P1=occupancy:P4", truth));
  EXPECT_EQ(RefineStructure(setup).status, RefinementStatus::Refined);
}

TEST(StructureRefinement, RefusesAParameterTheDataDoNotFix) {
  // One site: its occupancy and the scale move every intensity alike.
  const StructureModel model = *BuiltinModel("ammann-beenker");
  CalculationInputs in = Inputs();
  in.system = CrystalSystem::Octagonal;
  in.groupIndex = FindGroup("P8/mmm")->listIndex;
  const testing::SyntheticData data = testing::MakeSyntheticData(model, in, 10.0, 0.0, 3);
  RefinementSetup setup;
  setup.lattice = data.lattice;
  setup.wavelength = data.wavelength;
  setup.start = {model, 1.0, 0.0, {}};
  setup.start.model.sites[0].occupancy = 0.7;
  setup.free = std::get<std::vector<FreeParameter>>(ParseParameterList("scale,occupancy:V,b_perp:V", model));
  setup.data = KeepObservations(data.observations);
  const RefinementOutcome out = RefineStructure(setup);
  EXPECT_EQ(out.status, RefinementStatus::Refused);
  EXPECT_TRUE(out.error.rfind("occupancy:V is not determined by the data (it moves together with scale)", 0) == 0 ||
              out.error.rfind("scale is not determined by the data (it moves together with occupancy:V)", 0) == 0)
      << out.error;
  // Without the occupancy the same data refine.
  setup.free = std::get<std::vector<FreeParameter>>(ParseParameterList("scale,b_perp:V", model));
  EXPECT_EQ(RefineStructure(setup).status, RefinementStatus::Refined);
  // Fewer reflections than parameters.
  setup.data.reflections.resize(2);
  setup.free = std::get<std::vector<FreeParameter>>(ParseParameterList("scale,b_perp:V,b_par:V", model));
  EXPECT_NE(RefineStructure(setup).error.find("needs more reflections than parameters"), std::string::npos);
}

}  // namespace
}  // namespace lumora
