// The refinement's intensities and the indexing's line strengths take the
// run's radiation: for one-site models of Fe and of Al at the same place the
// amplitude ratio is b_Fe/b_Al for neutrons and f_e,Fe(s)/f_e,Al(s) for
// electrons, compared with the published values typed in
// intensity/published_scattering.hpp (not Lumora's tables).
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "intensity/model_file.hpp"
#include "intensity/published_scattering.hpp"
#include "powder/indexing_lines.hpp"
#include "reflections/space_groups.hpp"
#include "refine/calculated_intensities.hpp"
#include "refine/whole_pattern_fit.hpp"

namespace lumora {
namespace {

StructureModel OneSite(const char* element) {
  return std::get<StructureModel>(ParseModel(std::string("system decagonal\nsetting yamamoto\nV ") + element +
                                             " 1 0 0 0 0 0 polygon:5:0 1.2 0 0\n"));
}

// Every index vector with entries in -2..2 up to s = 1.2 1/A at a = 4, c = 4.
struct Reflections {
  Lattice lattice = SetupLattice(CrystalSystem::Decagonal, 4.0, 4.0, true);
  std::vector<std::vector<IndexVector>> members;
  Reflections() {
    for (int i = 0; i < 3125; ++i) {
      IndexVector h{};
      int rest = i;
      for (int k = 0; k < 5; ++k, rest /= 5) h[static_cast<std::size_t>(k)] = rest % 5 - 2;
      if (i == 3125 / 2) continue;  // the origin
      members.push_back({h});
    }
  }
};

TEST(RadiationInRefinement, AmplitudeRatiosFollowThePublishedFactors) {
  const Reflections r;
  for (RadiationKind kind : {RadiationKind::Neutron, RadiationKind::Electron}) {
    // A wavelength short enough that every vector lies inside the limiting sphere.
    const Radiation beam{kind, 0.05, 0.0};
    auto fe = CalculatedIntensities::Make(r.lattice, beam, OneSite("Fe"), r.members);
    auto al = CalculatedIntensities::Make(r.lattice, beam, OneSite("Al"), r.members);
    ASSERT_TRUE(std::holds_alternative<CalculatedIntensities>(fe));
    ASSERT_TRUE(std::holds_alternative<CalculatedIntensities>(al));
    const auto& calcFe = std::get<CalculatedIntensities>(fe);
    const auto fFe = calcFe.StructureFactors({OneSite("Fe"), 1.0, 0.0, {}});
    const auto fAl = std::get<CalculatedIntensities>(al).StructureFactors({OneSite("Al"), 1.0, 0.0, {}});
    std::size_t compared = 0;
    double sMax = 0.0;
    for (std::size_t i = 0; i < fAl.size(); ++i) {
      const double s = calcFe.Resolution(i);
      if (std::abs(fAl[i]) < 1e-9 || s > 2.0) continue;  // vanishes, or beyond the electron fit
      sMax = std::max(sMax, s);
      const double expected = kind == RadiationKind::Neutron
                                  ? testing::kNeutronLengthFe / testing::kNeutronLengthAl
                                  : testing::kElectronFe(s) / testing::kElectronAl(s);
      EXPECT_NEAR(std::abs(fFe[i]) / std::abs(fAl[i]), expected, 2e-4 * expected) << RadiationName(kind) << " s " << s;
      ++compared;
    }
    EXPECT_GT(compared, 1000u);
    EXPECT_GT(sMax, 0.4);  // the electron ratio changes over the range (about 1.3 to 2)
  }
  // An element the neutron table lacks is refused with the reason, not a throw.
  const auto polonium = CalculatedIntensities::Make(r.lattice, NeutronRadiation(0.05), OneSite("Po"), r.members);
  ASSERT_TRUE(std::holds_alternative<std::string>(polonium));
  EXPECT_NE(std::get<std::string>(polonium), "");
}

TEST(RadiationInRefinement, UnpolarisedSlopeIsTheLorentzFactorsDerivative) {
  for (double t : {8.0, 35.0, 90.0, 150.0}) {
    const double h = 1e-5;
    const double expected = (LorentzFactor(t + h) - LorentzFactor(t - h)) / (2 * h);
    EXPECT_NEAR(LorentzPolarisationSlope(t, 26.6, false), expected, 1e-6 * std::fabs(expected)) << t;
  }
}

TEST(RadiationInIndexing, LineStrengthsOfElectronsOverNeutronsFollowTheTable) {
  IndexingLineRequest request;
  request.inputs.system = CrystalSystem::Decagonal;
  request.inputs.yamamoto = true;
  request.inputs.groupIndex = -1;
  for (const SpaceGroup& group : GroupsOf(CrystalSystem::Decagonal))
    if (group.rules.empty()) {
      request.inputs.groupIndex = group.listIndex;
      break;
    }
  request.inputs.a = 4.0;
  request.inputs.c = 4.0;
  request.inputs.qiLimit = 1.0;
  request.aRun = 4.0;
  request.cRun = 4.0;
  request.wavelength = 1.0;
  request.twoThetaMax = 120.0;
  const StructureModel fe = OneSite("Fe");
  request.model = &fe;
  request.modelRadiation = NeutronRadiation(1.0);
  const IndexingLines neutron = BuildIndexingLines(request);
  request.modelRadiation = Radiation{RadiationKind::Electron, 1.0, 0.0};
  const IndexingLines electron = BuildIndexingLines(request);
  ASSERT_EQ(neutron.error, "");
  ASSERT_EQ(electron.error, "");
  ASSERT_EQ(neutron.lines.size(), electron.lines.size());
  ASSERT_GT(neutron.lines.size(), 20u);
  // Same lines, so the strengths differ by f_e(s)^2 / b^2 alone: relative to
  // the first line, the ratio is the table's (f_e(s) / f_e(s_first))^2.
  auto sOf = [&](const ScalableLine& line) {
    return std::sin(0.5 * LineTwoTheta(line, request.aRun, request.cRun, 1.0) * std::numbers::pi / 180.0);
  };
  std::size_t first = 0;
  while (neutron.lines[first].strength < 1e-9) ++first;
  const double s0 = sOf(neutron.lines[first]);
  const double r0 = electron.lines[first].strength / neutron.lines[first].strength;
  std::size_t compared = 0;
  for (std::size_t i = first; i < neutron.lines.size(); ++i) {
    if (neutron.lines[i].strength < 1e-9 * neutron.lines[first].strength) continue;
    const double s = sOf(neutron.lines[i]);
    const double expected = std::pow(testing::kElectronFe(s) / testing::kElectronFe(s0), 2);
    EXPECT_NEAR(electron.lines[i].strength / neutron.lines[i].strength / r0, expected, 5e-4 * expected) << "s " << s;
    ++compared;
  }
  EXPECT_GT(compared, 20u);
}

}  // namespace
}  // namespace lumora
