// The refinement's derivatives against central finite differences of the
// forward model, and its structure factors against the intensity module's.
#include <gtest/gtest.h>

#include <cmath>

#include "intensity/model_file.hpp"
#include "intensity/structure_factor.hpp"
#include "refine/calculated_intensities.hpp"
#include "refine/domain_growth.hpp"

namespace lumora {
namespace {

// d T(lambda W) / d lambda at lambda = 1 by central differences of the closed forms.
template <typename Make>
std::complex<double> GrowthByDifferences(Make make, const Vec3& q) {
  const double h = 1e-5;
  return (DomainTransform(make(1.0 + h), q) - DomainTransform(make(1.0 - h), q)) / (2.0 * h);
}

TEST(DomainGrowth, MatchesDifferencesOfTheTransform) {
  const std::array<Vec3, 6> axes = [] {
    const Lattice ico = SetupLattice(CrystalSystem::Icosahedral, 5.0, 5.0, false);
    std::array<Vec3, 6> a{};
    for (int i = 0; i < 6; ++i) a[i] = InternalPart(ico, DirectRow(ico, i));
    return a;
  }();
  const std::vector<Vec2> irregular = {{0.0, 0.0}, {2.0, -0.3}, {2.4, 1.1}, {0.9, 0.6}, {0.3, 1.9}};  // not convex
  for (const Vec3& q : {Vec3{0.0, 0.0, 0.0}, Vec3{0.13, -0.07, 0.21}, Vec3{0.6, 0.45, -0.3}, Vec3{1e-7, 2e-7, 0.0}}) {
    struct Case {
      const char* name;
      std::function<OccupationDomain(double)> make;
    };
    const std::vector<Case> cases = {
        {"sphere", [](double s) { return OccupationDomain{SphereDomain{1.7 * s}}; }},
        {"disk", [](double s) { return OccupationDomain{DiskDomain{2.2 * s}}; }},
        {"pentagon", [](double s) { return OccupationDomain{RegularPolygon(5, 1.9 * s, 0.3)}; }},
        {"irregular", [&](double s) {
           std::vector<Vec2> c = irregular;
           for (Vec2& p : c) p = {p[0] * s, p[1] * s};
           return OccupationDomain{PolygonDomain(c)};
         }},
        {"triacontahedron", [&](double s) { return OccupationDomain{RhombicTriacontahedron(axes, 1.3 * s)}; }},
    };
    for (const Case& c : cases) {
      const std::complex<double> expected = GrowthByDifferences(c.make, q);
      const std::complex<double> got = DomainGrowth(c.make(1.0), q);
      const double tolerance = 1e-6 * (1.0 + std::abs(DomainTransform(c.make(1.0), {0, 0, 0})));
      EXPECT_NEAR(got.real(), expected.real(), tolerance) << c.name << " q " << q[0] << " " << q[1];
      EXPECT_NEAR(got.imag(), expected.imag(), tolerance) << c.name << " q " << q[0] << " " << q[1];
    }
  }
}

StructureModel TwoElementModel(CrystalSystem system) {
  const char* text = system == CrystalSystem::Icosahedral
                         ? "system icosahedral\nsetting steurer\n"
                           "A Al 0.9 0 0 0 0 0 0 triacontahedron 0.9 0.6 1.5\n"
                           "B Pd 0.7 0.5 0 0 0 0 0 sphere 0.8 0.4 2.0\n"
                         : "system decagonal\nsetting yamamoto\n"
                           "P1 Al 0.9 0.2 0.2 0.2 0.2 0 polygon:5:0 1.05 0.6 1.5\n"
                           "P2 Pd 0.8 0.4 0.4 0.4 0.4 0.25 polygon:5:180 1.55 0.3 2.5\n"
                           "P3 Al 1 0.6 0.6 0.6 0.6 0 disk 1.2 0.5 1.0\n";
  return std::get<StructureModel>(ParseModel(text));
}

TEST(CalculatedIntensities, StructureFactorsAreThoseOfTheIntensityModule) {
  for (CrystalSystem system : {CrystalSystem::Decagonal, CrystalSystem::Icosahedral}) {
    const Lattice lattice = SetupLattice(system, 4.1, 8.2, system != CrystalSystem::Icosahedral);
    const StructureModel model = TwoElementModel(system);
    const std::vector<std::vector<IndexVector>> reflections = {
        {{1, 0, 0, 0, 0, 0}}, {{2, -1, 1, 0, 1, 0}}, {{1, 1, 2, 0, 1, 1}}, {{0, 1, -1, 2, 3, 1}}};
    auto made = CalculatedIntensities::Make(lattice, XRayRadiation(0.7107), model, reflections);
    ASSERT_TRUE(std::holds_alternative<CalculatedIntensities>(made));
    const ModelState state{model, 2.5, 0.0, {}};
    const auto f = std::get<CalculatedIntensities>(made).StructureFactors(state);
    const ResolvedModel resolved = std::get<ResolvedModel>(ResolveModel(model, lattice));
    std::vector<double> intensity;
    std::get<CalculatedIntensities>(made).Evaluate(state, {}, intensity);
    for (std::size_t i = 0; i < reflections.size(); ++i) {
      const std::complex<double> expected = StructureFactor(resolved, lattice, reflections[i][0], 0.7107);
      EXPECT_NEAR(std::abs(f[i] - expected), 0.0, 1e-5 * std::abs(expected) + 1e-12);
      EXPECT_NEAR(intensity[i], 2.5 * std::norm(expected), 1e-4 * std::norm(expected) + 1e-12);
    }
  }
}

TEST(CalculatedIntensities, JacobianMatchesFiniteDifferences) {
  for (CrystalSystem system : {CrystalSystem::Decagonal, CrystalSystem::Icosahedral}) {
    SCOPED_TRACE(std::string(SystemName(system)));
    const Lattice lattice = SetupLattice(system, 4.1, 8.2, system != CrystalSystem::Icosahedral);
    const StructureModel model = TwoElementModel(system);
    const std::string list = system == CrystalSystem::Icosahedral
                                 ? "scale,extinction,occupancy:*,b_par:*,b_perp:A,b_perp:B,size:A,size:B"
                                 : "scale,extinction,occupancy:P1,b_par:*,b_perp:P1=b_perp:P2,size:*";
    const auto parsed = ParseParameterList(list, model);
    ASSERT_TRUE(std::holds_alternative<std::vector<FreeParameter>>(parsed)) << std::get<std::string>(parsed);
    const auto& free = std::get<std::vector<FreeParameter>>(parsed);
    // Merged reflections of two members each, Friedel mates among them.
    const std::vector<std::vector<IndexVector>> reflections = {
        {{1, 0, 0, 0, 0, 0}, {-1, 0, 0, 0, 0, 0}}, {{2, -1, 1, 0, 1, 0}}, {{1, 1, 2, 0, 1, 1}, {0, 1, 1, 0, 2, -1}},
        {{0, 1, -1, 2, 3, 1}}, {{3, 1, 0, -1, 1, 0}}};
    const CalculatedIntensities calc =
        std::get<CalculatedIntensities>(CalculatedIntensities::Make(lattice, XRayRadiation(1.5406), model, reflections));
    ModelState state{model, 3.0, 0.8, {}};
    for (const FreeParameter& f : free)  // the members of an equality start equal
      for (const ParameterRef& ref : f.members) SetValue(state, ref, ValueOf(state, f.members[0]));
    std::vector<double> intensity;
    Eigen::MatrixXd jacobian;
    calc.Evaluate(state, free, intensity, &jacobian);
    ASSERT_EQ(jacobian.cols(), static_cast<Eigen::Index>(free.size()));
    for (std::size_t k = 0; k < free.size(); ++k) {
      const double v = ValueOf(state, free[k].members[0]);
      const double h = 1e-6 * std::max(1.0, std::fabs(v));
      auto at = [&](double x) {
        ModelState s = state;
        for (const ParameterRef& ref : free[k].members) SetValue(s, ref, x);
        std::vector<double> i;
        calc.Evaluate(s, {}, i);
        return i;
      };
      const auto plus = at(v + h), minus = at(v - h);
      for (std::size_t r = 0; r < reflections.size(); ++r) {
        const double expected = (plus[r] - minus[r]) / (2.0 * h);
        EXPECT_NEAR(jacobian(static_cast<Eigen::Index>(r), static_cast<Eigen::Index>(k)), expected,
                    1e-5 * (std::fabs(expected) + 1e-3 * intensity[r]))
            << FreeParameterName(free[k], model) << " reflection " << r;
      }
    }
  }
}

}  // namespace
}  // namespace lumora
