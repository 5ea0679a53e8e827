#include "reflections/compute_reflection.hpp"

#include <cmath>

#include "common/numeric.hpp"

namespace lumora {

ReflectionValues ComputeReflection(const Lattice& lattice, const IndexVector& h,
                                   const ReflectionFilter& filter) {
  const int n = lattice.nDim;
  std::array<double, 6> w{};
  for (int i = 0; i < n; ++i) {
    double sum = 0.0;
    for (int j = 0; j < n; ++j) sum += lattice.inverseMatrix[i][j] * static_cast<double>(h[j]);
    w[i] = sum;
  }

  ReflectionValues v;
  const double a = lattice.a;
  if (n == 5) {
    v.qe = std::sqrt(w[1] * w[1] + w[0] * w[0] + w[4] * w[4]);
    if (lattice.yamamoto) v.qi = std::sqrt(w[3] * w[3] * a * a + w[2] * w[2] * a * a);
    else v.qi = std::sqrt(w[3] * w[3] + w[2] * w[2]);
    v.xyz = {w[0], w[1], w[4]};
  } else {
    v.qe = std::sqrt(w[1] * w[1] + w[0] * w[0] + w[2] * w[2]);
    const double a2 = a * a;
    v.qi = std::sqrt(w[4] * w[4] * a2 + w[3] * w[3] * a2 + w[5] * w[5] * a2);
    v.xyz = {w[0], w[1], w[2]};
  }
  if (v.qe == 0.0) return v;

  v.d = 1.0 / v.qe;
  const double sine = filter.wavelength / (2.0 * v.d);
  v.theta = ArcSin(sine) / kRadianDivisor;
  // Beyond the limiting sphere (sin theta above 1) there is no Bragg angle:
  // ArcSin saturates at 90 degrees, which must not pass a wide theta range.
  const auto widened = [](double limit, double sign) { return limit + sign * kLimitTolerance * std::fabs(limit); };
  v.ok = sine <= 1.0 && v.theta > 0.0 && v.theta >= widened(filter.thetaLow, -1.0) &&
         v.theta <= widened(filter.thetaHigh, 1.0) && v.qi <= widened(filter.qiLimit, 1.0);
  return v;
}

ReflectionValues RecomputeReflection(const Lattice& lattice, double wavelength, const ReflectionRecord& record) {
  IndexVector h{};
  for (std::size_t i = 0; i < h.size(); ++i) h[i] = static_cast<int>(record.h[i]);
  ReflectionValues v = ComputeReflection(lattice, h, ReflectionFilter{wavelength, 0.0, 0.0, 0.0});
  v.ok = false;
  return v;
}

std::int16_t ClassifyPlane(const Lattice& lattice, const ReflectionRecord& record) {
  if (lattice.nDim == 6) return kGeneralPlane;
  std::array<double, 5> w{};
  for (int k = 0; k < 5; ++k) {
    double sum = 0.0;
    for (int j = 0; j < 5; ++j) sum += lattice.inverseMatrix[k][j] * static_cast<double>(record.h[j]);
    w[k] = sum;
  }
  const double r = std::sqrt(w[1] * w[1] + w[0] * w[0]);
  if (r == 0.0) return kFirstFamily;  // on the periodic axis

  const double u0 = w[0] / r;
  const double u1 = w[1] / r;
  double cosA = lattice.firstAxisDir[1] * u1 + lattice.firstAxisDir[0] * u0;
  if (cosA > 1.0) cosA = 1.0;
  const float angle = static_cast<float>(ArcCos(cosA) / kDegreeFactor);

  // The direction tests run in single precision with a 0.3 degree tolerance.
  const float m1 = lattice.mirrorAngle1;
  const float m2 = lattice.mirrorAngle2;
  const float f1 = static_cast<float>(
      static_cast<double>(m1) * static_cast<double>(Frac(static_cast<float>(static_cast<double>(angle) / m1))));
  const float f2 = static_cast<float>(
      static_cast<double>(m2) * static_cast<double>(Frac(static_cast<float>(static_cast<double>(angle) / m2))));
  constexpr float kTolerance = 0.3f;
  if (f1 < kTolerance || f1 > m1 - kTolerance) return kFirstFamily;
  if (f2 < kTolerance || f2 > m2 - kTolerance) return kSecondFamily;
  return kGeneralPlane;
}

}  // namespace lumora
