// Tilt navigation: stereographic radii tan(theta/2), great circles normal to
// their mirror, and double-tilt angles checked by turning the specimen with
// Eigen's rotations.
#include <gtest/gtest.h>

#include <Eigen/Geometry>
#include <cmath>

#include "reflections/space_groups.hpp"
#include "zone/stereogram.hpp"

namespace lumora {
namespace {

constexpr double kPi = 3.14159265358979323846;

Eigen::Vector3d V(const Direction& d) { return {d[0], d[1], d[2]}; }

TEST(Stereogram, AxesAndMirrorCircles) {
  const Lattice lattice = SetupLattice(CrystalSystem::Icosahedral, 5.1, 1.0, true);
  const BeamFrame frame = FrameOfBeam(NamedAxis(lattice, "5")->direction);
  const std::vector<AxisView> views = AxesFromBeam(lattice, frame);
  ASSERT_EQ(views.size(), 31u);
  EXPECT_EQ(views[0].axis.order, 5);
  EXPECT_NEAR(views[0].angle, 0.0, 1e-9);
  EXPECT_NEAR(std::hypot(views[0].px, views[0].py), 0.0, 1e-9);
  for (const AxisView& v : views) {
    EXPECT_NEAR(std::hypot(v.px, v.py), std::tan(v.angle * kPi / 360.0), 1e-9) << v.axis.name;
    const Direction back = FromStereographic(frame, v.px, v.py);
    EXPECT_NEAR(AngleBetweenAxes(back, v.axis.direction), 0.0, 1e-6);
  }
  // Nearest: five two-folds at 31.72 degrees, five three-folds at 37.38.
  EXPECT_EQ(views[1].axis.order, 2);
  EXPECT_NEAR(views[5].angle, 31.7174744, 1e-6);
  EXPECT_EQ(views[6].axis.order, 3);
  EXPECT_NEAR(views[6].angle, 37.3773681, 1e-6);

  for (const Direction& normal : MirrorNormals(lattice, *FindGroup("Pm-3-5"))) {
    for (const auto& p : GreatCircle(frame, normal)) {
      EXPECT_LE(std::hypot(p[0], p[1]), 1.0 + 1e-12);
      EXPECT_NEAR(V(FromStereographic(frame, p[0], p[1])).dot(V(normal)), 0.0, 1e-9);
    }
  }
}

TEST(Stereogram, DoubleTiltReachesTheAxis) {
  const Lattice lattice = SetupLattice(CrystalSystem::Icosahedral, 5.1, 1.0, true);
  const BeamFrame reference = FrameOfBeam(NamedAxis(lattice, "5")->direction);
  for (double holderAngle : {0.0, 30.0}) {
    for (const AxisView& v : AxesFromBeam(lattice, reference)) {
      const std::optional<HolderTilt> tilt = TiltToAxis(reference, v.axis.direction, holderAngle);
      ASSERT_TRUE(tilt);
      // Turn the specimen: first beta about the cradle axis, then alpha about
      // the holder axis; the target must then lie along the beam.
      const double h = holderAngle * kPi / 180.0;
      const Eigen::Vector3d holder = std::cos(h) * V(reference.x) + std::sin(h) * V(reference.y);
      const Eigen::Vector3d cradle = -std::sin(h) * V(reference.x) + std::cos(h) * V(reference.y);
      const Eigen::Matrix3d turn = (Eigen::AngleAxisd(tilt->alpha * kPi / 180.0, holder) *
                                    Eigen::AngleAxisd(tilt->beta * kPi / 180.0, cradle)).toRotationMatrix();
      const Eigen::Vector3d moved = turn * V(v.axis.direction);
      EXPECT_NEAR(std::fabs(moved.dot(V(reference.beam))), 1.0, 1e-9) << v.axis.name;
      EXPECT_NEAR(AngleBetweenAxes(BeamAtTilt(reference, *tilt, holderAngle), v.axis.direction), 0.0, 1e-6);
      // The holder's two tilts together make the angle between the axes.
      const double total = std::acos(std::cos(tilt->alpha * kPi / 180.0) * std::cos(tilt->beta * kPi / 180.0));
      EXPECT_NEAR(total * 180.0 / kPi, v.angle, 1e-6);
    }
  }
  // A holder limited to +-20 degrees cannot reach the three-fold axis at 37.38.
  EXPECT_FALSE(TiltToAxis(reference, NamedAxis(lattice, "3")->direction, 0.0, 20.0, 20.0));
}

}  // namespace
}  // namespace lumora
