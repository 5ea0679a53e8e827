// The emission-line table against xraylib's K-L3 and K-L2 line energies and
// radiative rates, a source of its own (0.1 eV steps, so within 0.3 eV).
#include "reflections/emission_lines.hpp"

#include <gtest/gtest.h>
#include <xraylib.h>

#include "inputs/parameters.hpp"

namespace lumora {
namespace {

TEST(EmissionLines, AgreeWithXraylibAndLeaveTheClassicTableAlone) {
  const int atomicNumbers[] = {42, 29, 28, 27, 26, 24, 47};  // Mo, Cu, Ni, Co, Fe, Cr, Ag
  constexpr double kElectronVoltAngstrom = 12398.41857;
  for (int i = 0; i < 7; ++i) {
    const std::optional<EmissionLines> lines = AnodeEmissionLines(i);
    ASSERT_TRUE(lines) << AnodeSymbol(i);
    const int z = atomicNumbers[i];
    const double e1 = 1000.0 * LineEnergy(z, KL3_LINE, nullptr), e2 = 1000.0 * LineEnergy(z, KL2_LINE, nullptr);
    EXPECT_NEAR(kElectronVoltAngstrom / lines->kAlpha1, e1, 0.3) << AnodeSymbol(i);
    EXPECT_NEAR(kElectronVoltAngstrom / lines->kAlpha2, e2, 0.3) << AnodeSymbol(i);
    EXPECT_NEAR(lines->ratio, RadRate(z, KL2_LINE, nullptr) / RadRate(z, KL3_LINE, nullptr), 0.002) << AnodeSymbol(i);
  }
  EXPECT_FALSE(AnodeEmissionLines(kTypedAnodeIndex));
  // Cu K-alpha1 of International Tables Vol. C, Table 4.2.2.6.
  EXPECT_NEAR(AnodeEmissionLines(1)->kAlpha1, 1.54059292, 1e-7);
  // The classic table, whose mean the main window shows, is not touched.
  EXPECT_EQ(AnodeWavelengthText(0), "0.7106867");
  EXPECT_EQ(AnodeWavelengthText(1), "1.541878");
}

}  // namespace
}  // namespace lumora
