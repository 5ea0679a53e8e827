// Symmetry axes against the icosahedron's closed-form angles, the named axes
// and lattice vectors along them, and the mirror planes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "reflections/space_groups.hpp"
#include "zone/zone_axes.hpp"

namespace lumora {
namespace {

const double kTau = (1.0 + std::sqrt(5.0)) / 2.0;
constexpr double kDegrees = 180.0 / 3.14159265358979323846;

double SmallestAngle(const std::vector<SymmetryAxis>& axes, const SymmetryAxis& from, int order) {
  double best = 90.0;
  for (const SymmetryAxis& a : axes)
    if (a.order == order && a.name != "" && &a != &from) {
      const double angle = AngleBetweenAxes(a.direction, from.direction);
      if (angle > 1e-6) best = std::min(best, angle);
    }
  return best;
}

TEST(ZoneAxes, IcosahedralAxesAndTheirAngles) {
  for (bool yamamoto : {true, false}) {
    const Lattice lattice = SetupLattice(CrystalSystem::Icosahedral, 5.1, 1.0, yamamoto);
    const std::vector<SymmetryAxis> axes = SymmetryAxes(lattice);
    int count[6] = {};
    for (const SymmetryAxis& a : axes) ++count[a.order];
    EXPECT_EQ(count[5], 6);
    EXPECT_EQ(count[3], 10);
    EXPECT_EQ(count[2], 15);
    // tan(5-2) = 1/tau, tan(5-3) = 2/tau^2, tan(3-2) = 1/tau^2 (the lattice's
    // classic literals for pi and the tilt hold to about 1e-9 rad).
    const SymmetryAxis five = *NamedAxis(lattice, "5");
    const SymmetryAxis three = *NamedAxis(lattice, "3");
    EXPECT_NEAR(SmallestAngle(axes, five, 2), std::atan(1.0 / kTau) * kDegrees, 1e-7);
    EXPECT_NEAR(SmallestAngle(axes, five, 3), std::atan(2.0 / (kTau * kTau)) * kDegrees, 1e-7);
    EXPECT_NEAR(SmallestAngle(axes, three, 2), std::atan(1.0 / (kTau * kTau)) * kDegrees, 1e-7);
    EXPECT_NEAR(SmallestAngle(axes, five, 5), std::atan(2.0) * kDegrees, 1e-7);
    // The named axes are the nearest of their kind to z, and each index
    // vector points along its axis.
    EXPECT_NEAR(AngleBetweenAxes(five.direction, {0, 0, 1}), 0.0, 1e-9);
    EXPECT_NEAR(AngleBetweenAxes(three.direction, {0, 0, 1}), 37.3773681, 1e-6);
    EXPECT_NEAR(AngleBetweenAxes(NamedAxis(lattice, "2")->direction, {0, 0, 1}), 31.7174744, 1e-6);
    for (const SymmetryAxis& a : axes) {
      const Direction r = PhysicalDirectVector(lattice, a.index);
      const double n = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
      EXPECT_NEAR((r[0] * a.direction[0] + r[1] * a.direction[1] + r[2] * a.direction[2]) / n, 1.0, 1e-12) << a.name;
    }
    EXPECT_FALSE(NamedAxis(lattice, "10"));
    EXPECT_EQ(AxisFromIndex(lattice, five.index).order, 5);
    EXPECT_EQ(MirrorNormals(lattice, *FindGroup("P235")).size(), 15u);
  }
}

TEST(ZoneAxes, AxialAxesAlternateEveryHalfStep) {
  struct Case {
    CrystalSystem system;
    int order;
    const char* group;
    bool mirrors;
  };
  for (const Case c : {Case{CrystalSystem::Decagonal, 10, "P10.5/mmc", true}, Case{CrystalSystem::Octagonal, 8, "P8/m", false},
                       Case{CrystalSystem::Dodecagonal, 12, "P-122m", true}}) {
    for (bool yamamoto : {true, false}) {
      const Lattice lattice = SetupLattice(c.system, 2.82, 12.06, yamamoto);
      const std::vector<SymmetryAxis> axes = SymmetryAxes(lattice);
      ASSERT_EQ(axes.size(), static_cast<std::size_t>(1 + c.order));
      EXPECT_EQ(axes[0].name, std::to_string(c.order));
      EXPECT_EQ(axes[0].order, c.order);
      // Every in-plane axis is normal to the periodic one and 180/order
      // degrees from its nearest neighbour of the other family.
      for (std::size_t i = 1; i < axes.size(); ++i) {
        EXPECT_NEAR(AngleBetweenAxes(axes[i].direction, axes[0].direction), 90.0, 1e-9);
        double nearest = 90.0;
        for (std::size_t j = 1; j < axes.size(); ++j)
          if (j != i) nearest = std::min(nearest, AngleBetweenAxes(axes[i].direction, axes[j].direction));
        EXPECT_NEAR(nearest, 180.0 / c.order, 1e-6);
        const Direction r = PhysicalDirectVector(lattice, axes[i].index);
        EXPECT_NEAR(std::fabs(r[2]), 0.0, 1e-12);
        EXPECT_NEAR(AngleBetweenAxes(r, axes[i].direction), 0.0, 1e-5);
      }
      // "2" lies along the first reciprocal basis vector.
      const SymmetryAxis two = *NamedAxis(lattice, "2a");
      EXPECT_NEAR(std::fabs(two.direction[0] * lattice.firstAxisDir[0] + two.direction[1] * lattice.firstAxisDir[1]), 1.0,
                  1e-12);
      EXPECT_EQ(NamedAxis(lattice, "2b")->name, "2'");
      // A named axis is the first of its kind in the list, and a beam along
      // any listed axis's index vector has that axis's order.
      for (const std::string& name : {std::string("2"), std::string("2'"), std::to_string(c.order)}) {
        const auto first = std::find_if(axes.begin(), axes.end(), [&](const SymmetryAxis& a) { return a.name == name; });
        ASSERT_NE(first, axes.end()) << name;
        const SymmetryAxis named = *NamedAxis(lattice, name);
        EXPECT_EQ(named.index, first->index) << name;
        EXPECT_NEAR(AngleBetweenAxes(named.direction, first->direction), 0.0, 1e-9) << name;
      }
      for (const SymmetryAxis& axis : axes) EXPECT_EQ(AxisFromIndex(lattice, axis.index).order, axis.order) << axis.name;
      EXPECT_FALSE(NamedAxis(lattice, "5"));
      EXPECT_EQ(MirrorNormals(lattice, *FindGroup(c.group)).size(), c.mirrors ? 1u + c.order : 1u);
    }
  }
}

}  // namespace
}  // namespace lumora
