// Measured-like powder patterns of the four systems, made here from the
// definitions and nothing of the code under test: the Steurer reciprocal basis
// written out below, Bragg's law, intensities from the Fourier transforms of
// disk (axial) and sphere (icosahedral) occupation domains times the
// multiplicity and the Lorentz-polarisation factor, Gaussian peaks as the
// K-alpha1/K-alpha2 doublet (or K-alpha1 alone) with a zero shift, a sloping
// background and Poisson-like noise from a fixed seed.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <numbers>
#include <random>
#include <vector>

#include "powder/measured_pattern.hpp"
#include "reflections/space_groups.hpp"

namespace lumora::synthetic {

constexpr double kPi = std::numbers::pi;
constexpr double kDeg = kPi / 180.0;
// Cu K-alpha1 and K-alpha2 (Hoelzer et al. 1997) and a 2:1 doublet.
constexpr double kCuKAlpha1 = 1.5405929, kCuKAlpha2 = 1.5444274;

struct Reciprocal {
  std::array<int, 6> h{};
  double physical = 0.0;  // |q_par|, 1/A
  double internal = 0.0;  // |q_perp|: 1/A for the axial systems, times a for the icosahedral one
};

// Steurer setting: row k of the basis is a reciprocal basis vector. Axial
// systems: (cos k t, sin k t | cos m k t, sin m k t) / a for k = 1..4 (m = 3,
// or 5 for the dodecagonal system) and (0, 0, 1/c) along the axis.
// Icosahedral: (0, 0, 1 | 0, 0, 1) / a and, for k = 2..6,
// (sin p cos k t, sin p sin k t, cos p | -sin p cos 3kt, -sin p sin 3kt, -cos p) / a
// with t = 72 degrees and p = atan 2.
inline Reciprocal Vector(CrystalSystem system, const std::array<int, 6>& h, double a, double c) {
  double x = 0, y = 0, z = 0, u = 0, v = 0, w = 0;
  if (system == CrystalSystem::Icosahedral) {
    const double t = 72.0 * kDeg, p = std::atan(2.0);
    z += h[0] / a;
    w += h[0] / a;
    for (int i = 1; i < 6; ++i) {
      const int k = i + 1;
      x += h[i] * std::sin(p) * std::cos(k * t) / a;
      y += h[i] * std::sin(p) * std::sin(k * t) / a;
      z += h[i] * std::cos(p) / a;
      u -= h[i] * std::sin(p) * std::cos(3 * k * t) / a;
      v -= h[i] * std::sin(p) * std::sin(3 * k * t) / a;
      w -= h[i] * std::cos(p) / a;
    }
  } else {
    const double degrees = system == CrystalSystem::Octagonal ? 45.0 : system == CrystalSystem::Decagonal ? 72.0 : 30.0;
    const int m = system == CrystalSystem::Dodecagonal ? 5 : 3;
    const double t = degrees * kDeg;
    for (int i = 0; i < 4; ++i) {
      const int k = i + 1;
      x += h[i] * std::cos(k * t) / a;
      y += h[i] * std::sin(k * t) / a;
      u += h[i] * std::cos(m * k * t) / a;
      v += h[i] * std::sin(m * k * t) / a;
    }
    z = h[4] / c;
  }
  Reciprocal r;
  r.h = h;
  r.physical = std::sqrt(x * x + y * y + z * z);
  r.internal = std::sqrt(u * u + v * v + w * w) * (system == CrystalSystem::Icosahedral ? a : 1.0);
  return r;
}

// The amplitude of a uniform domain of radius R in internal space at |q_perp|:
// the disk's 2 J1(x)/x (J1 by its series) or the sphere's 3 (sin x - x cos x)/x^3, x = 2 pi q R.
inline double Window(CrystalSystem system, double q, double radius) {
  const double x = 2.0 * kPi * q * radius;
  if (x < 1e-6) return 1.0;
  if (system == CrystalSystem::Icosahedral) return 3.0 * (std::sin(x) - x * std::cos(x)) / (x * x * x);
  double term = 1.0, sum = 0.0;  // J1(x) / x = sum (-1)^k (x/2)^(2k) / (2 k! (k+1)!)
  for (int k = 0; k < 60; ++k) {
    sum += term;
    term *= -(x * x / 4.0) / ((k + 1.0) * (k + 2.0));
  }
  return sum;  // 2 J1(x)/x
}

struct Line {
  double d = 0.0;            // A
  double intensity = 0.0;    // sum of |F|^2 over the orbit times LP at K-alpha1
  std::array<int, 6> h{};    // one member
  int multiplicity = 0;
};

struct Structure {
  CrystalSystem system = CrystalSystem::Decagonal;
  double a = 2.825, c = 12.08;
  double qiLimit = 1.0;     // on the internal length of Vector()
  double radius = 0.5;      // of the occupation domain, in the units of 1/qi
  int loops = 4;            // the index box walked
};

// Every reflection with internal length up to the limit and 2 theta up to
// twoThetaMax at the wavelength, merged into lines of equal d.
inline std::vector<Line> Lines(const Structure& s, double wavelength, double twoThetaMax) {
  const int n = s.system == CrystalSystem::Icosahedral ? 6 : 5;
  std::vector<Line> reflections;  // one each
  std::array<int, 6> h{};
  std::function<void(int)> walk = [&](int i) {
    if (i == n) {
      if (std::all_of(h.begin(), h.end(), [](int x) { return x == 0; })) return;
      const Reciprocal r = Vector(s.system, h, s.a, s.c);
      const double sine = wavelength * r.physical / 2.0;
      if (r.internal > s.qiLimit || sine >= std::sin(0.5 * twoThetaMax * kDeg)) return;
      const double f = Window(s.system, r.internal, s.radius);
      reflections.push_back({1.0 / r.physical, f * f, h, 1});
      return;
    }
    for (h[static_cast<std::size_t>(i)] = -s.loops; h[static_cast<std::size_t>(i)] <= s.loops; ++h[static_cast<std::size_t>(i)])
      walk(i + 1);
    h[static_cast<std::size_t>(i)] = 0;
  };
  walk(0);
  // Equal d within 1e-9 (rounding) make one line.
  std::sort(reflections.begin(), reflections.end(), [](const Line& l, const Line& r) { return l.d > r.d; });
  std::vector<Line> lines;
  for (const Line& r : reflections) {
    if (!lines.empty() && lines.back().d - r.d <= 1e-9 * lines.back().d) {
      lines.back().intensity += r.intensity;
      ++lines.back().multiplicity;
    } else {
      lines.push_back(r);
    }
  }
  for (Line& line : lines) {
    const double theta = std::asin(wavelength / (2.0 * line.d));
    const double lp = (1.0 + std::cos(2 * theta) * std::cos(2 * theta)) / (std::sin(theta) * std::sin(theta) * std::cos(theta));
    line.intensity *= lp;
  }
  return lines;
}

struct Measurement {
  double kAlpha1 = kCuKAlpha1, kAlpha2 = kCuKAlpha2;
  double ratio = 0.5;         // K-alpha2 / K-alpha1; 0: K-alpha1 only
  double zero = 0.0;          // degrees added to every peak
  double low = 10.0, high = 80.0, step = 0.01;  // degrees 2 theta
  double fwhm = 0.06;         // degrees
  double height = 20000.0;    // counts of the strongest K-alpha1 peak
  double background = 60.0, slope = -0.4;  // counts, counts per degree
  unsigned seed = 1;
};

inline double TwoTheta(double d, double wavelength) {
  const double s = wavelength / (2.0 * d);
  return s < 1.0 ? 2.0 * std::asin(s) / kDeg : 999.0;
}

// The pattern: Gaussian peaks, background, and noise of sqrt(counts).
inline MeasuredPattern Pattern(const std::vector<Line>& lines, const Measurement& m) {
  double strongest = 0.0;
  for (const Line& l : lines) strongest = std::max(strongest, l.intensity);
  MeasuredPattern p;
  const int points = static_cast<int>(std::floor((m.high - m.low) / m.step + 1e-9)) + 1;
  std::vector<double> y(static_cast<std::size_t>(points), 0.0);
  const double sigma = m.fwhm / (2.0 * std::sqrt(2.0 * std::log(2.0)));
  for (const Line& l : lines) {
    const double scale = m.height * l.intensity / strongest;
    for (int k = 0; k < (m.ratio > 0.0 ? 2 : 1); ++k) {
      const double centre = TwoTheta(l.d, k == 0 ? m.kAlpha1 : m.kAlpha2) + m.zero;
      const double amplitude = k == 0 ? scale : scale * m.ratio;
      const int from = std::max(0, static_cast<int>((centre - 6 * sigma - m.low) / m.step));
      const int to = std::min(points - 1, static_cast<int>((centre + 6 * sigma - m.low) / m.step) + 1);
      for (int i = from; i <= to; ++i) {
        const double x = m.low + i * m.step - centre;
        y[static_cast<std::size_t>(i)] += amplitude * std::exp(-0.5 * x * x / (sigma * sigma));
      }
    }
  }
  std::mt19937 random(m.seed);
  std::normal_distribution<double> unit(0.0, 1.0);
  for (int i = 0; i < points; ++i) {
    const double t = m.low + i * m.step;
    const double mean = y[static_cast<std::size_t>(i)] + m.background + m.slope * (t - m.low);
    p.twoTheta.push_back(t);
    p.intensity.push_back(mean + std::sqrt(std::max(mean, 1.0)) * unit(random));
  }
  return p;
}

}  // namespace lumora::synthetic
