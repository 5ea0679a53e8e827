#include "zone/stereogram.hpp"

#include <algorithm>
#include <cmath>

namespace lumora {
namespace {

constexpr double kPi = 3.14159265358979323846;

double Dot(const Direction& a, const Direction& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Direction Combine(double a, const Direction& u, double b, const Direction& v, double c, const Direction& w) {
  return {a * u[0] + b * v[0] + c * w[0], a * u[1] + b * v[1] + c * w[1], a * u[2] + b * v[2] + c * w[2]};
}

// The holder's axes in the report frame: holder (alpha) and cradle (beta).
void HolderAxes(const BeamFrame& f, double holderAngle, Direction& holder, Direction& cradle) {
  const double h = holderAngle * kPi / 180.0;
  holder = Combine(std::cos(h), f.x, std::sin(h), f.y, 0.0, f.beam);
  cradle = Combine(-std::sin(h), f.x, std::cos(h), f.y, 0.0, f.beam);
}

}  // namespace

std::array<double, 2> Stereographic(const BeamFrame& frame, const Direction& v) {
  const double n = std::sqrt(Dot(v, v));
  double x = Dot(v, frame.x) / n, y = Dot(v, frame.y) / n, z = Dot(v, frame.beam) / n;
  if (z < 0.0) x = -x, y = -y, z = -z;
  return {x / (1.0 + z), y / (1.0 + z)};
}

Direction FromStereographic(const BeamFrame& frame, double px, double py) {
  const double r2 = px * px + py * py;
  const double d = 1.0 + r2;
  return Combine(2.0 * px / d, frame.x, 2.0 * py / d, frame.y, (1.0 - r2) / d, frame.beam);
}

std::vector<AxisView> AxesFromBeam(const Lattice& lattice, const BeamFrame& frame) {
  std::vector<AxisView> views;
  for (const SymmetryAxis& axis : SymmetryAxes(lattice)) {
    AxisView v;
    v.axis = axis;
    v.angle = AngleBetweenAxes(axis.direction, frame.beam);
    const std::array<double, 2> p = Stereographic(frame, axis.direction);
    v.px = p[0];
    v.py = p[1];
    views.push_back(v);
  }
  std::stable_sort(views.begin(), views.end(), [](const AxisView& a, const AxisView& b) { return a.angle < b.angle - 1e-9; });
  return views;
}

std::vector<std::array<double, 2>> GreatCircle(const BeamFrame& frame, const Direction& normal, int count) {
  // Two unit vectors spanning the plane, u in the pattern plane where possible.
  const double n = std::sqrt(Dot(normal, normal));
  const Direction m{normal[0] / n, normal[1] / n, normal[2] / n};
  Direction u{m[1] * frame.beam[2] - m[2] * frame.beam[1], m[2] * frame.beam[0] - m[0] * frame.beam[2],
              m[0] * frame.beam[1] - m[1] * frame.beam[0]};
  double un = std::sqrt(Dot(u, u));
  if (un < 1e-12) u = frame.x, un = 1.0;
  u = {u[0] / un, u[1] / un, u[2] / un};
  const Direction w{m[1] * u[2] - m[2] * u[1], m[2] * u[0] - m[0] * u[2], m[0] * u[1] - m[1] * u[0]};
  std::vector<std::array<double, 2>> points;
  for (int i = 0; i < count; ++i) {
    // Half a turn covers the visible half; u lies on the rim.
    const double t = kPi * i / (count - 1);
    Direction v = Combine(std::cos(t), u, std::sin(t), w, 0.0, u);
    if (Dot(v, frame.beam) < 0.0) v = {-v[0], -v[1], -v[2]};
    points.push_back(Stereographic(frame, v));
  }
  return points;
}

std::optional<HolderTilt> TiltToAxis(const BeamFrame& reference, const Direction& target, double holderAngle,
                                     double maxAlpha, double maxBeta) {
  Direction holder, cradle;
  HolderAxes(reference, holderAngle, holder, cradle);
  // R = Rot(holder, alpha) Rot(cradle, beta) must take d onto the beam:
  // d = (-cos(alpha) sin(beta), sin(alpha), cos(alpha) cos(beta)) on (holder, cradle, beam).
  const double n = std::sqrt(Dot(target, target));
  const double dh = Dot(target, holder) / n, dc = Dot(target, cradle) / n, db = Dot(target, reference.beam) / n;
  std::optional<HolderTilt> best;
  for (double sign : {1.0, -1.0}) {  // the axis and its opposite end
    HolderTilt t;
    t.alpha = std::asin(std::clamp(sign * dc, -1.0, 1.0)) * 180.0 / kPi;
    t.beta = std::atan2(-sign * dh, sign * db) * 180.0 / kPi;
    if (std::fabs(t.alpha) > maxAlpha || std::fabs(t.beta) > maxBeta) continue;
    if (!best || std::hypot(t.alpha, t.beta) < std::hypot(best->alpha, best->beta)) best = t;
  }
  return best;
}

Direction BeamAtTilt(const BeamFrame& reference, const HolderTilt& tilt, double holderAngle) {
  Direction holder, cradle;
  HolderAxes(reference, holderAngle, holder, cradle);
  const double a = tilt.alpha * kPi / 180.0, b = tilt.beta * kPi / 180.0;
  // The specimen direction that the tilts bring onto the beam.
  return Combine(-std::cos(a) * std::sin(b), holder, std::sin(a), cradle, std::cos(a) * std::cos(b), reference.beam);
}

}  // namespace lumora
