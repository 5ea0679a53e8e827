// Picking a peak on a diffraction picture: the module point nearest to a
// wave vector, and the text that names a point.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "tiling/exact_diffraction.hpp"

namespace lumora {

// Index of the point nearest to (qx, qy), at most `within` away; points whose
// intensity (when given, one per point) is below minIntensity are passed over.
std::optional<std::size_t> NearestModulePoint(const std::vector<ModulePoint>& points, double qx, double qy,
                                              double within, const std::vector<double>* intensity = nullptr,
                                              double minIntensity = 0.0);

// The module point of symmetry n nearest to (qx, qy), at most `within` away,
// whose internal component is at most internalMax, if there is one; nothing
// when more than maxPoints points lie that near or the search for them runs
// past its bound (then *tooDense is set).
std::optional<ModulePoint> ModulePointNear(int n, double qx, double qy, double within, double internalMax,
                                           std::size_t maxPoints, bool* tooDense = nullptr);

// "k = (qx, qy), |k| = .., internal .., indices (a0 a1 ..)" with four decimals.
std::string ModulePointText(const ModulePoint& point);

}  // namespace lumora
