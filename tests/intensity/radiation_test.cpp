// Radiations: the relativistic electron wavelength against its closed form,
// electron scattering factors against the published fit coefficients and
// the Mott-Bethe formula, neutron lengths against the tables, and the X-ray
// path unchanged.
#include <gtest/gtest.h>

#include <cmath>

#include "intensity/form_factors.hpp"
#include "intensity/radiation.hpp"

namespace lumora {
namespace {

TEST(Radiation, RelativisticElectronWavelength) {
  // From the kinetic energy E = eV: lambda = hc / sqrt(E (E + 2 m c^2)), with
  // hc = 12.398419843 keV A and m c^2 = 510.99895 keV; and the values
  // microscopists quote: 0.037014, 0.025079, 0.019687 A.
  const double quoted[] = {0.037014, 0.025079, 0.019687};
  int i = 0;
  for (double kv : {100.0, 200.0, 300.0}) {
    const double closed = 12.398419843 / std::sqrt(kv * (kv + 2.0 * 510.99895));
    EXPECT_NEAR(RelativisticElectronWavelength(kv), closed, 1e-9 * closed) << kv << " kV";
    EXPECT_NEAR(RelativisticElectronWavelength(kv), quoted[i++], 1.5e-6) << kv << " kV";
  }
  const Radiation e = ElectronRadiation(200.0);
  EXPECT_EQ(e.kind, RadiationKind::Electron);
  EXPECT_DOUBLE_EQ(e.wavelength, RelativisticElectronWavelength(200.0));
}

TEST(Radiation, ElectronScatteringFactorsFollowTheTable) {
  // International Tables Vol. C (2011), table 4.3.2.2: a_i (A), b_i (A^2).
  struct Fit {
    const char* symbol;
    double a[5], b[5];
  };
  const Fit fits[] = {
      {"Al", {0.2390, 0.6573, 1.2011, 2.5586, 1.2312}, {0.3138, 2.1063, 10.4163, 34.4552, 98.5344}},
      {"Mn", {0.3796, 1.2094, 1.7815, 2.5420, 1.5937}, {0.2699, 2.0455, 7.4726, 31.0604, 91.5622}},
      {"Cu", {0.4314, 1.3208, 1.5236, 1.4671, 0.8562}, {0.2694, 1.9223, 7.3474, 28.9892, 90.6246}},
  };
  for (const Fit& fit : fits) {
    const int z = *AtomicNumberOf(fit.symbol);
    for (double s : {0.0, 0.1, 0.5, 1.0, 2.0}) {
      double expected = 0.0;
      for (int i = 0; i < 5; ++i) expected += fit.a[i] * std::exp(-fit.b[i] * s * s);
      EXPECT_NEAR(ElectronScatteringFactor(z, s), expected, 1e-12) << fit.symbol << " s = " << s;
    }
    // Mott-Bethe from the X-ray form factor: f_e = 0.023934 (Z - f_x) / s^2 A,
    // good to a few percent where the fit and f_x are both accurate.
    for (double s : {0.3, 0.6}) {
      const double mott = 0.023934 * (z - FormFactorF0(z, s)) / (s * s);
      EXPECT_NEAR(ElectronScatteringFactor(z, s), mott, 0.04 * mott) << fit.symbol << " s = " << s;
    }
  }
  EXPECT_FALSE(HasScatteringFactor(RadiationKind::Electron, 99));
  EXPECT_THROW(ElectronScatteringFactor(99, 0.1), std::runtime_error);
}

TEST(Radiation, NeutronLengthsAndTables) {
  // Neutron News 3 (1992) 29: b_coh of Al, Mn, Pd, Ti in fm.
  EXPECT_DOUBLE_EQ(NeutronScatteringLength(13), 3.449);
  EXPECT_DOUBLE_EQ(NeutronScatteringLength(25), -3.73);
  EXPECT_DOUBLE_EQ(NeutronScatteringLength(46), 5.91);
  EXPECT_DOUBLE_EQ(NeutronScatteringLength(22), -3.438);
  EXPECT_FALSE(HasScatteringFactor(RadiationKind::Neutron, 84));  // Po: no value
  EXPECT_THROW(ScatteringTable(84, NeutronRadiation(1.0), 1.0), std::runtime_error);

  const ScatteringTable neutron(13, NeutronRadiation(1.5), 2.0);
  EXPECT_EQ(neutron(0.0), neutron(1.7));
  EXPECT_DOUBLE_EQ(neutron(0.3).real(), 3.449);

  // Electrons: the tabulated values within the grid's interpolation error.
  const ScatteringTable electron(25, ElectronRadiation(200.0), 2.0);
  for (double s : {0.0, 0.123456, 0.9, 1.99})
    EXPECT_NEAR(electron(s).real(), ElectronScatteringFactor(25, s), 1e-6) << s;
  EXPECT_EQ(electron(0.5).imag(), 0.0);

  // X-rays: exactly the form-factor table the intensities have always used.
  const ScatteringTable xray(29, XRayRadiation(0.7106867), 1.0);
  const FormFactorTable classic(29, 0.7106867, 1.0);
  for (double s : {0.0, 0.05, 0.31415, 0.99}) EXPECT_EQ(xray(s), classic(s)) << s;
}

}  // namespace
}  // namespace lumora
