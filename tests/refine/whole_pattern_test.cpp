// The whole-pattern fit: its derivatives against central differences, the
// lines of complete orbits against a run whose box holds the orbits whole,
// and a synthetic pattern made by the powder module (its lines and profile,
// a Chebyshev background and noise written here) fitted back from a start off
// in every parameter.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

#include "powder/powder_lines.hpp"
#include "powder/powder_profile.hpp"
#include "refine/whole_pattern_fit.hpp"
#include "intensity/model_file.hpp"
#include "refine/synthetic_pattern.hpp"

namespace lumora {
namespace {

TEST(WholePattern, LorentzPolarisationSlopeMatchesDifferences) {
  for (double mono : {0.0, 26.6})
    for (double t : {8.0, 35.0, 90.0, 150.0}) {
      const double h = 1e-5;
      const double expected = (LorentzPolarisation(t + h, mono) - LorentzPolarisation(t - h, mono)) / (2 * h);
      EXPECT_NEAR(LorentzPolarisationSlope(t, mono), expected, 1e-6 * std::fabs(expected) + 1e-9) << t;
    }
}

StructureModel TrueModel() {
  return std::get<StructureModel>(ParseModel("name powder-truth\nsystem decagonal\nsetting yamamoto\n"
                                             "P1 Al 0.85 0.2 0.2 0.2 0.2 0 polygon:5:0 1 0.8 1.5\n"
                                             "P2 Al 1 0.4 0.4 0.4 0.4 0 polygon:5:180 1.618034 0.8 1.5\n"
                                             "P3 Al 1 0.6 0.6 0.6 0.6 0 polygon:5:0 1.618034 0.8 1.5\n"
                                             "P4 Al 0.85 0.8 0.8 0.8 0.8 0 polygon:5:180 1 0.8 1.5\n"));
}

CalculationInputs RunInputs(int loops, double a, double c) {
  CalculationInputs in;
  in.system = CrystalSystem::Decagonal;
  in.groupIndex = FindGroup("P10.5/mmc")->listIndex;
  in.yamamoto = true;
  in.a = a;
  in.c = c;
  in.wavelength = 1.5406;
  in.thetaLow = 5.0;
  in.thetaHigh = 38.0;
  in.qiLimit = 1.5;
  in.loopLimits.fill(loops);
  return in;
}

TEST(WholePattern, CompleteOrbitsDoNotDependOnTheLoopBox) {
  const CalculationResult small = RunCalculation(RunInputs(2, 2.82, 4.1));
  const CalculationResult large = RunCalculation(RunInputs(7, 2.82, 4.1));
  const PointGroup group = LatticeHolohedry(small.lattice);
  const auto fromSmall = CompleteOrbitLines(small.records, small.lattice, group);
  const auto fromLarge = CompleteOrbitLines(large.records, large.lattice, group);
  std::map<IndexVector, int> sizes;
  for (const OrbitLine& line : fromLarge) sizes[line.place.index] = line.place.multiplicity;
  ASSERT_GT(fromSmall.size(), 10u);
  for (const OrbitLine& line : fromSmall) {
    ASSERT_TRUE(sizes.count(line.place.index));
    EXPECT_EQ(sizes[line.place.index], line.place.multiplicity);
    EXPECT_EQ(static_cast<int>(line.members.size()), line.place.multiplicity);
  }
  // The large box holds its orbits whole: every reflection of it is in one.
  std::size_t members = 0;
  for (const OrbitLine& line : fromLarge) members += line.members.size();
  EXPECT_EQ(members, large.records.size());
}

PatternState Truth() {
  PatternState p;
  p.a = 2.825;
  p.c = 4.12;
  p.zero = 0.03;
  p.u = 0.01;
  p.v = -0.004;
  p.w = 0.004;
  p.eta = 0.4;
  p.background = {60.0, -12.0, 5.0};
  return p;
}

WholePatternSetup PatternSetup(const MeasuredPattern& measured, const StructureModel& start, const PatternState& pattern,
                        const std::string& list) {
  WholePatternSetup setup;
  // The run at the start's constants, its box too small to hold the orbits whole.
  const CalculationResult run = RunCalculation(RunInputs(4, pattern.a, pattern.c));
  setup.lattice = run.lattice;
  setup.lines = CompleteOrbitLines(run.records, run.lattice, LatticeHolohedry(run.lattice));
  setup.wavelength = 1.5406;
  setup.measured = measured;
  setup.start = {start, 1.0, 0.0, pattern};
  setup.free = std::get<std::vector<FreeParameter>>(
      ParseParameterList(list, start, ParameterScope::PowderPattern, static_cast<int>(pattern.background.size())));
  return setup;
}

TEST(WholePattern, JacobianMatchesFiniteDifferences) {
  // Every 20th point; the peaks reach over the whole range, so that no point
  // crosses a peak's cut while the differences are taken.
  double scale = 0.0;
  const MeasuredPattern all = testing::SyntheticPattern(TrueModel(), RunInputs(7, Truth().a, Truth().c), Truth(), 20.0, 74.0, scale, 0);
  MeasuredPattern m;
  for (std::size_t i = 0; i < all.twoTheta.size(); i += 20) {
    m.twoTheta.push_back(all.twoTheta[i]);
    m.intensity.push_back(all.intensity[i]);
  }
  for (bool doublet : {false, true}) {
    WholePatternSetup setup = PatternSetup(m, TrueModel(), Truth(),
                                    "scale,zero,a,c,u,v,w,eta,background,occupancy:P1=occupancy:P4,b_perp:*,size:P2");
    if (doublet) setup.doublet = std::array<double, 2>{1.540562, 1.544390};
    setup.monochromatorTwoTheta = 26.6;
    setup.cutWidths = 1000.0;
    setup.start.scale = scale;
    const auto made = WholePatternModel::Make(setup);
    ASSERT_TRUE(std::holds_alternative<WholePatternModel>(made));
    const WholePatternModel& model = std::get<WholePatternModel>(made);
    Eigen::MatrixXd jacobian;
    const PatternCalculation at = model.Calculate(setup.start, setup.free, &jacobian);
    for (std::size_t k = 0; k < setup.free.size(); ++k) {
      const ParameterRef& ref = setup.free[k].members.front();
      const double v = ValueOf(setup.start, ref);
      const double h = 1e-6 * std::max(std::fabs(v), 1e-2);
      auto shifted = [&](double value) {
        ModelState s = setup.start;
        for (const ParameterRef& r : setup.free[k].members) SetValue(s, r, value);
        return model.Calculate(s, setup.free, nullptr).total;
      };
      const Eigen::VectorXd expected = (shifted(v + h) - shifted(v - h)) / (2 * h);
      const double size = expected.cwiseAbs().maxCoeff() + 1e-3 * at.total.cwiseAbs().maxCoeff();
      EXPECT_LT((jacobian.col(static_cast<Eigen::Index>(k)) - expected).cwiseAbs().maxCoeff(), 2e-5 * size)
          << FreeParameterName(setup.free[k], setup.start.model) << (doublet ? " (doublet)" : "");
    }
  }
}

TEST(WholePattern, SyntheticPatternGivesBackLatticeProfileAndStructure) {
  const PatternState truth = Truth();
  double scale = 0.0;
  const MeasuredPattern m = testing::SyntheticPattern(TrueModel(), RunInputs(7, truth.a, truth.c), truth, 20.0, 74.0, scale, 17);
  PatternState start = truth;
  start.a *= 1.0006;
  start.c *= 0.9993;
  start.zero = 0.0;
  start.u = 0.004;
  start.v = 0.0;
  start.w = 0.008;
  start.eta = 0.6;
  start.background = {0.0, 0.0, 0.0};
  StructureModel model = TrueModel();
  model.sites[0].occupancy = model.sites[3].occupancy = 0.6;
  for (Site& s : model.sites) s.bPar = 0.0, s.bPerp = 0.0;
  const WholePatternSetup setup = PatternSetup(m, model, start,
                                        "scale,zero,a,c,u,v,w,eta,background,occupancy:P1=occupancy:P4,"
                                        "b_par:P1=b_par:*,b_perp:P1=b_perp:*");
  const WholePatternOutcome out = FitWholePattern(setup);
  ASSERT_EQ(out.status, RefinementStatus::Refined) << out.error;
  EXPECT_NEAR(out.chi2, 1.0, 0.1);
  EXPECT_LT(out.rwp, 3.0 * out.rexp);
  const std::map<std::string, double> expected = {
      {"a", truth.a}, {"c", truth.c}, {"zero", truth.zero}, {"u", truth.u}, {"v", truth.v}, {"w", truth.w},
      {"eta", truth.eta}, {"occupancy:P1=occupancy:P4", 0.85}, {"b_par:P1=b_par:P2=b_par:P3=b_par:P4", 0.8},
      {"b_perp:P1=b_perp:P2=b_perp:P3=b_perp:P4", 1.5}, {"background:0", 60.0}, {"background:1", -12.0},
      {"background:2", 5.0}, {"scale", scale}};
  for (const RefinedValue& p : out.parameters) {
    if (!expected.count(p.name)) continue;
    EXPECT_GT(p.su, 0.0) << p.name;
    EXPECT_LT(std::fabs(p.value - expected.at(p.name)), 3.0 * p.su) << p.name << " = " << p.value << " +- " << p.su;
  }
  // Strong enough data to mean something: the lattice to 2e-5, occupancy to 0.02,
  // B_perp (which only the weak lines of large qi show) to a third.
  for (const RefinedValue& p : out.parameters) {
    if (p.name == "a" || p.name == "c") {
      EXPECT_LT(p.su, 2e-5 * p.value) << p.name;
    } else if (p.name.rfind("occupancy", 0) == 0) {
      EXPECT_LT(p.su, 0.02) << p.name;
    } else if (p.name.rfind("b_perp", 0) == 0) {
      EXPECT_LT(p.su, 0.5) << p.name;
    }
  }
}

}  // namespace
}  // namespace lumora
