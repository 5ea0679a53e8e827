// Gauss-Legendre quadrature for the tests' numerical integrals over domains.
#pragma once

#include <cmath>
#include <utility>
#include <vector>

namespace lumora::testing {

// Nodes and weights on [0, 1].
inline std::vector<std::pair<double, double>> GaussLegendre01(int order) {
  std::vector<std::pair<double, double>> rule;
  for (int i = 1; i <= order; ++i) {
    double x = std::cos(3.14159265358979323846 * (i - 0.25) / (order + 0.5));
    double dp = 0.0;
    for (int iter = 0; iter < 100; ++iter) {
      double p0 = 1.0, p1 = x;
      for (int k = 2; k <= order; ++k) {
        const double p2 = ((2.0 * k - 1.0) * x * p1 - (k - 1.0) * p0) / k;
        p0 = p1;
        p1 = p2;
      }
      dp = order * (x * p1 - p0) / (x * x - 1.0);
      const double dx = p1 / dp;
      x -= dx;
      if (std::fabs(dx) < 1e-15) break;
    }
    rule.push_back({(1.0 - x) / 2.0, 1.0 / ((1.0 - x * x) * dp * dp)});
  }
  return rule;
}

}  // namespace lumora::testing
