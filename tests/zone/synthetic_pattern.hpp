// Synthetic zone-axis images for the fit tests, made from the test's own
// geometry: the zero layer of an icosahedral lattice normal to a given
// direction, by walking an index box and projecting with the lattice's
// inverse matrix; spots as Gaussians on a falling diffuse background with
// Gaussian-approximated Poisson noise of a fixed seed and a beam stop.
#pragma once

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "lattice/lattice.hpp"
#include "zone/grey_image.hpp"

namespace lumora::testing {

struct PlaneSpot {
  double gx, gy, weight;     // in the plane frame (1/A); weight exp(-(l q_perp)^2)
  std::array<int, 6> h{};    // the indices
};

// Reflections with physical vector normal to `normal` (unit), |g| <= gMax,
// in a frame whose x is the report's x projected (report y if x is along normal).
inline std::vector<PlaneSpot> ZeroLayer(const Lattice& lattice, const std::array<double, 3>& normal, double gMax,
                                        double starLength, int box = 4) {
  std::array<double, 3> x{1, 0, 0};
  double along = normal[0];
  if (std::fabs(along) > 1 - 1e-9) x = {0, 1, 0}, along = normal[1];
  for (int i = 0; i < 3; ++i) x[i] -= along * normal[i];
  const double xn = std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]);
  for (double& v : x) v /= xn;
  const std::array<double, 3> y{normal[1] * x[2] - normal[2] * x[1], normal[2] * x[0] - normal[0] * x[2],
                                normal[0] * x[1] - normal[1] * x[0]};
  std::vector<PlaneSpot> out;
  const int side = 2 * box + 1;
  long total = 1;
  for (int i = 0; i < 6; ++i) total *= side;
  for (long code = 0; code < total; ++code) {
    int h[6];
    long c = code;
    for (int i = 0; i < 6; ++i) h[i] = static_cast<int>(c % side) - box, c /= side;
    double w[6] = {};
    for (int i = 0; i < 6; ++i)
      for (int j = 0; j < 6; ++j) w[i] += lattice.inverseMatrix[i][j] * h[j];
    const double g2 = w[0] * w[0] + w[1] * w[1] + w[2] * w[2];
    if (g2 == 0.0 || g2 > gMax * gMax) continue;
    if (std::fabs(w[0] * normal[0] + w[1] * normal[1] + w[2] * normal[2]) > 1e-9) continue;
    const double perp2 = w[3] * w[3] + w[4] * w[4] + w[5] * w[5];
    const double weight = std::exp(-starLength * starLength * perp2);
    if (weight < 0.02) continue;
    out.push_back({w[0] * x[0] + w[1] * x[1] + w[2] * x[2], w[0] * y[0] + w[1] * y[1] + w[2] * y[2], weight,
                   {h[0], h[1], h[2], h[3], h[4], h[5]}});
  }
  return out;
}

struct Placement {
  double k = 450.0;       // px A
  double rotation = 0.0;  // degrees, counter-clockwise on screen
  double cx = 0.0, cy = 0.0;
};

inline GreyImage DrawPattern(const std::vector<PlaneSpot>& spots, const Placement& at, int size, unsigned seed,
                             double peak = 3000.0, double sigma = 1.6) {
  GreyImage image;
  image.width = image.height = size;
  image.pixels.assign(static_cast<std::size_t>(size) * size, 0.0f);
  std::vector<double> value(image.pixels.size());
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const double r = std::hypot(x - at.cx, y - at.cy);
      value[static_cast<std::size_t>(y) * size + x] = 20.0 + 200.0 * std::exp(-r / 300.0);
    }
  const double phi = at.rotation * 3.14159265358979323846 / 180.0;
  auto add = [&](double u, double v, double amplitude) {
    const int reach = static_cast<int>(std::ceil(5 * sigma));
    for (int y = static_cast<int>(v) - reach; y <= static_cast<int>(v) + reach; ++y)
      for (int x = static_cast<int>(u) - reach; x <= static_cast<int>(u) + reach; ++x) {
        if (x < 0 || y < 0 || x >= size || y >= size) continue;
        value[static_cast<std::size_t>(y) * size + x] +=
            amplitude * std::exp(-((x - u) * (x - u) + (y - v) * (y - v)) / (2 * sigma * sigma));
      }
  };
  for (const PlaneSpot& s : spots) {
    const double u = at.cx + at.k * (s.gx * std::cos(phi) - s.gy * std::sin(phi));
    const double v = at.cy - at.k * (s.gx * std::sin(phi) + s.gy * std::cos(phi));
    add(u, v, peak * s.weight);
  }
  add(at.cx, at.cy, 50.0 * peak);  // the direct beam, under the stop
  std::mt19937 random(seed);
  std::normal_distribution<double> normal(0.0, 1.0);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      double v = value[static_cast<std::size_t>(y) * size + x];
      // The beam stop: a disc on the centre and its arm to the right edge.
      if (std::hypot(x - at.cx, y - at.cy) < 16 || (x > at.cx && std::fabs(y - at.cy) < 10)) v = 5.0;
      v += std::sqrt(v) * normal(random);
      image.pixels[static_cast<std::size_t>(y) * size + x] = static_cast<float>(std::max(v, 0.0));
    }
  return image;
}

}  // namespace lumora::testing
