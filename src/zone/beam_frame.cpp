#include "zone/beam_frame.hpp"

#include <algorithm>
#include <cmath>

namespace lumora {
namespace {

constexpr double kPi = 3.14159265358979323846;

double Dot(const Direction& a, const Direction& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Direction Cross(const Direction& a, const Direction& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Direction Unit(const Direction& a) {
  const double n = std::sqrt(Dot(a, a));
  return {a[0] / n, a[1] / n, a[2] / n};
}
// v turned by angle about the unit axis (Rodrigues).
Direction Turned(const Direction& v, const Direction& axis, double angle) {
  const double c = std::cos(angle), s = std::sin(angle);
  const Direction k = Cross(axis, v);
  const double d = Dot(axis, v) * (1.0 - c);
  return {v[0] * c + k[0] * s + axis[0] * d, v[1] * c + k[1] * s + axis[1] * d, v[2] * c + k[2] * s + axis[2] * d};
}

}  // namespace

BeamFrame FrameOfBeam(const Direction& beam) { return FrameOfBeam(beam, {1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}); }

BeamFrame FrameOfBeam(const Direction& beam, const Direction& xWanted, const Direction& fallback) {
  BeamFrame f;
  f.beam = Unit(beam);
  Direction reference = xWanted;
  double along = Dot(reference, f.beam);
  if (1.0 - std::fabs(along) < 1e-9) {
    reference = fallback;
    along = Dot(reference, f.beam);
  }
  f.x = Unit({reference[0] - along * f.beam[0], reference[1] - along * f.beam[1], reference[2] - along * f.beam[2]});
  f.y = Cross(f.beam, f.x);
  return f;
}

Direction TiltedBeam(const BeamFrame& frame, double tiltXDegrees, double tiltYDegrees) {
  const Direction once = Turned(frame.beam, frame.x, tiltXDegrees * kPi / 180.0);
  const Direction y = Turned(frame.y, frame.x, tiltXDegrees * kPi / 180.0);
  return Unit(Turned(once, y, tiltYDegrees * kPi / 180.0));
}

std::array<double, 3> InFrame(const BeamFrame& frame, const Direction& g) {
  return {Dot(g, frame.x), Dot(g, frame.y), Dot(g, frame.beam)};
}

double ExcitationError(const Direction& beam, const Direction& g, double wavelength) {
  const double k = 1.0 / wavelength;
  const Direction kg{k * beam[0] + g[0], k * beam[1] + g[1], k * beam[2] + g[2]};
  return (k * k - Dot(kg, kg)) / (2.0 * k);
}

double ShapeFactor(double s, double thickness) {
  const double x = kPi * s;
  if (std::fabs(x * thickness) < 1e-6) return thickness * thickness;
  const double sine = std::sin(x * thickness);
  return sine * sine / (x * x);
}

double PrecessionShapeFactor(const BeamFrame& frame, const Direction& g, double wavelength, double thickness,
                             double precessionDegrees) {
  const double phi = precessionDegrees * kPi / 180.0;
  if (phi <= 0.0) return ShapeFactor(ExcitationError(frame.beam, g, wavelength), thickness);
  const std::array<double, 3> c = InFrame(frame, g);
  const double gt = std::hypot(c[0], c[1]);
  const double g2 = c[0] * c[0] + c[1] * c[1] + c[2] * c[2];
  // s(psi) = A cos(psi - psi0) + B; the mean over a turn is that over psi - psi0 in [0, pi].
  const double amplitude = -gt * std::sin(phi);
  const double offset = -c[2] * std::cos(phi) - wavelength * g2 / 2.0;
  const double span = 2.0 * std::fabs(amplitude) * thickness;  // s range in units of 1/t
  const int steps = static_cast<int>(std::clamp(std::ceil(10.0 * span * kPi / 2.0), 64.0, 20000.0));
  double sum = 0.0;
  for (int i = 0; i < steps; ++i) {
    const double psi = (i + 0.5) * kPi / steps;
    sum += ShapeFactor(amplitude * std::cos(psi) + offset, thickness);
  }
  return sum / steps;
}

}  // namespace lumora
