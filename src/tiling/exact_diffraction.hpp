// Bragg peaks of a tiling's exact vertex set: the intensities at the points of
// its Fourier module, q = (2/N) sum h_i e_i with h integer, e_i the N grid
// directions. Units: x in edge lengths, q in reciprocal edge lengths, phase
// 2 pi q.x. The module has rank r = phi(N) and basis (2/N) e_0 .. e_{r-1}.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace lumora {

struct Tiling;

// Euler's phi: the rank of the module Z[e_0 .. e_{N-1}] for N >= 3.
int ModuleRank(int n);

struct ModulePoint {
  std::vector<int> index;  // coefficients a_i on the basis (2/N) e_i, i < r
  double qx = 0.0, qy = 0.0;
  // Length of the internal partner: the Galois conjugates e_i -> e_{m i}
  // (m prime to N, 1 < m < N/2) of q, joined; 0 when the module is a lattice.
  double internal = 0.0;
};

// The module points with |q| <= kMax and internal <= internalMax, sorted by
// index. Answers nothing (and says why in problem) for limits that are not
// finite and positive or when more than maxPoints points would result.
std::optional<std::vector<ModulePoint>> FourierModulePoints(int n, double kMax, double internalMax,
                                                            std::size_t maxPoints, std::string* problem = nullptr);

// The same about the wave vector (qx, qy): the points with |q - (qx, qy)| <= within.
std::optional<std::vector<ModulePoint>> ModulePointsNear(int n, double qx, double qy, double within,
                                                         double internalMax, std::size_t maxPoints,
                                                         std::string* problem = nullptr);

// Positions in edge lengths about the canvas centre (y down) of the exact
// vertex set of the tiling.
std::vector<std::array<double, 2>> LatticeVertexPositions(const Tiling& tiling);

// I(q) = |sum_v exp(2 pi i q.x_v)|^2 / n_v^2 at every point (1 at q = 0), for
// points of the module of order n. Exact up to rounding (about 1e-13).
std::vector<double> BraggIntensities(int n, const std::vector<std::array<double, 2>>& vertices,
                                     const std::vector<ModulePoint>& points);

}  // namespace lumora
