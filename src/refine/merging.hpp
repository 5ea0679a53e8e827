// Equivalent reflections merged under a point group (the Laue class of the
// space group): the weighted mean of each orbit's measurements with its
// uncertainty, and the agreement of the equivalents, R_int.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "refine/observations.hpp"

namespace lumora {

struct MergedReflection {
  IndexVector h{};                  // the orbit's representative
  double intensity = 0.0;           // weighted mean, w = 1/sigma^2
  double sigma = 0.0;
  std::vector<IndexVector> members; // the measured index vectors (one per measurement)
};

struct MergedData {
  std::vector<MergedReflection> reflections;  // in the order of their first measurement
  std::string group;                 // the point group's name, or "none"
  std::size_t measurements = 0;
  std::size_t multiple = 0;          // merged reflections measured more than once
  // sum |I_i - <I>| / sum I_i over the reflections measured more than once;
  // 0 when there are none.
  double rInt = 0.0;
};

// sigma of a mean: sqrt(1 / sum w), widened by sqrt(chi^2 / (m - 1)) when the
// m equivalents scatter more than their sigmas allow.
MergedData MergeObservations(const std::vector<Observation>& observations, const PointGroup& group, int nDim);

// Every measurement a reflection of its own.
MergedData KeepObservations(const std::vector<Observation>& observations);

}  // namespace lumora
