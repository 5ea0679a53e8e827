// The internal-space map of exact data from a known model shows the site's
// domain: above half the inside level within it and below it outside, away
// from its edge (the series is cut at the data's qi, which blurs the edge).
// The domain is built here from its definition (a pentagon of the Penrose
// model, a sphere), not from the map's outline.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "refine/internal_map.hpp"
#include "refine/merging.hpp"
#include "refine/synthetic_data.hpp"

namespace lumora {
namespace {

constexpr double kPi = 3.14159265358979323846;

RefinementOutcome ExactOutcome(const StructureModel& model, const CalculationInputs& inputs, MergedData& merged,
                               PointGroup& group) {
  const testing::SyntheticData data = testing::MakeSyntheticData(model, inputs, 7.0, 0.0, 0);
  group = LatticeHolohedry(data.lattice);
  merged = MergeObservations(data.observations, group, data.lattice.nDim);
  RefinementSetup setup;
  setup.lattice = data.lattice;
  setup.wavelength = data.wavelength;
  setup.start = {model, 1.0, 0.0, {}};
  setup.free = {FreeParameter{{{ParameterKind::Scale, -1}}}};
  setup.data = merged;
  setup.searchStarts = 0;
  return RefineStructure(setup);
}

// Classifies the pixels farther than margin from the edge; distance(u, v) is
// negative inside the domain.
template <typename SignedDistance>
void ExpectDomain(const InternalMap& map, SignedDistance distance, double margin) {
  std::vector<double> inside;
  for (int r = 0; r < map.pixels; ++r)
    for (int c = 0; c < map.pixels; ++c) {
      const auto [u, v] = map.Position(r, c);
      if (distance(u, v) < -margin) inside.push_back(map.Value(r, c));
    }
  ASSERT_GT(inside.size(), 100u);
  std::nth_element(inside.begin(), inside.begin() + static_cast<std::ptrdiff_t>(inside.size() / 2), inside.end());
  const double level = inside[inside.size() / 2];
  ASSERT_GT(level, 0.0);
  int wrong = 0, checked = 0;
  for (int r = 0; r < map.pixels; ++r)
    for (int c = 0; c < map.pixels; ++c) {
      const auto [u, v] = map.Position(r, c);
      const double d = distance(u, v);
      if (std::fabs(d) < margin) continue;
      ++checked;
      if ((map.Value(r, c) > 0.5 * level) != (d < 0.0)) ++wrong;
    }
  EXPECT_EQ(wrong, 0) << "of " << checked << " pixels in " << map.plane;
}

TEST(InternalMap, ExactDataShowThePentagonOfTheSite) {
  const StructureModel model = std::get<StructureModel>(ParseModel(
      "system decagonal\nsetting yamamoto\n"
      "P1 Al 1 0.2 0.2 0.2 0.2 0 polygon:5:0 1 0 0\n"
      "P2 Al 1 0.4 0.4 0.4 0.4 0 polygon:5:180 1.618034 0 0\n"
      "P3 Al 1 0.6 0.6 0.6 0.6 0 polygon:5:0 1.618034 0 0\n"
      "P4 Al 1 0.8 0.8 0.8 0.8 0 polygon:5:180 1 0 0\n"));
  CalculationInputs in;
  in.system = CrystalSystem::Decagonal;
  in.groupIndex = FindGroup("P10.5/mmc")->listIndex;
  in.yamamoto = true;
  in.a = 2.82;
  in.c = 4.1;
  in.wavelength = 0.56;
  in.thetaLow = 0.5;
  in.thetaHigh = 32.0;
  in.qiLimit = 2.6;
  in.loopLimits = {5, 5, 5, 5, 1, 0};
  MergedData merged;
  PointGroup group;
  const RefinementOutcome outcome = ExactOutcome(model, in, merged, group);
  ASSERT_EQ(outcome.status, RefinementStatus::Refined) << outcome.error;
  EXPECT_LT(outcome.r1, 1e-7);

  MapRequest request{"P2", MapSource::Observed, 101, 0.0};
  const auto maps = InternalSpaceMaps(outcome, SetupLattice(in.system, in.a, in.c, true), XRayRadiation(in.wavelength), &group, request);
  ASSERT_TRUE(std::holds_alternative<std::vector<InternalMap>>(maps)) << std::get<std::string>(maps);
  const InternalMap& map = std::get<std::vector<InternalMap>>(maps).at(0);
  // The pentagon of radius tau star lengths (star = 2a/sqrt5), first corner at 180 degrees.
  const double radius = 1.618034 * 2.0 * in.a / std::sqrt(5.0);
  const double apothem = radius * std::cos(kPi / 5.0);
  auto distance = [&](double u, double v) {
    double d = -1e300;
    for (int k = 0; k < 5; ++k) {  // edge normals half-way between the corners
      const double angle = kPi + 2.0 * kPi * k / 5.0 + kPi / 5.0;
      d = std::max(d, u * std::cos(angle) + v * std::sin(angle) - apothem);
    }
    return d;
  };
  ExpectDomain(map, distance, 0.15 * radius);

  // F_calc gives the same picture; for exact data the difference map is flat.
  request.source = MapSource::Difference;
  const auto difference = InternalSpaceMaps(outcome, SetupLattice(in.system, in.a, in.c, true), XRayRadiation(in.wavelength), &group, request);
  const auto& flat = std::get<std::vector<InternalMap>>(difference).at(0).values;
  const double peak = *std::max_element(map.values.begin(), map.values.end());
  for (double value : flat) EXPECT_LT(std::fabs(value), 1e-6 * peak);
}

TEST(InternalMap, ExactDataShowTheSphereInEachPlane) {
  const StructureModel model = std::get<StructureModel>(
      ParseModel("system icosahedral\nsetting yamamoto\nV Al 1 0 0 0 0 0 0 sphere 1.1 0 0\n"));
  CalculationInputs in;
  in.system = CrystalSystem::Icosahedral;
  in.groupIndex = FindGroup("Pm-3-5")->listIndex;
  in.yamamoto = true;
  in.a = 4.5;
  in.c = 4.5;
  in.wavelength = 0.56;
  in.thetaLow = 0.5;
  in.thetaHigh = 25.0;
  in.qiLimit = 1.6;
  in.loopLimits.fill(3);
  MergedData merged;
  PointGroup group;
  const RefinementOutcome outcome = ExactOutcome(model, in, merged, group);
  ASSERT_EQ(outcome.status, RefinementStatus::Refined) << outcome.error;
  const Lattice lattice = SetupLattice(in.system, in.a, in.c, true);
  const auto maps = InternalSpaceMaps(outcome, lattice, XRayRadiation(in.wavelength), &group, {"V", MapSource::Calculated, 81, 0.0});
  ASSERT_TRUE(std::holds_alternative<std::vector<InternalMap>>(maps)) << std::get<std::string>(maps);
  ASSERT_EQ(std::get<std::vector<InternalMap>>(maps).size(), 3u);
  const double radius = 1.1 * StarLength(lattice);
  for (const InternalMap& map : std::get<std::vector<InternalMap>>(maps))
    ExpectDomain(map, [&](double u, double v) { return std::hypot(u, v) - radius; }, 0.2 * radius);
}

TEST(InternalMap, RefusesUnknownSitesAndSizes) {
  RefinementOutcome refused;
  const Lattice lattice = SetupLattice(CrystalSystem::Decagonal, 2.82, 4.1, true);
  EXPECT_EQ(std::get<std::string>(InternalSpaceMaps(refused, lattice, XRayRadiation(0.7), nullptr, {"P1"})),
            "there is no refined model to draw a map of");
  refused.status = RefinementStatus::Refined;
  refused.refined.model = *BuiltinModel("penrose");
  EXPECT_EQ(std::get<std::string>(InternalSpaceMaps(refused, lattice, XRayRadiation(0.7), nullptr, {"Q9"})),
            "the model has no site \"Q9\"");
  EXPECT_EQ(std::get<std::string>(InternalSpaceMaps(refused, lattice, XRayRadiation(0.7), nullptr, {"P1", MapSource::Observed, 8})),
            "map size 8 is not from 16 to 1024 pixels");
}

}  // namespace
}  // namespace lumora
