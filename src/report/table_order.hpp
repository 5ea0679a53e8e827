// Which rows of a run the reflection table shows, and in what order: sorted
// by a column and thinned by the intensity threshold the plots use. Saved
// reports keep every row in run order.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "reflections/reflection_record.hpp"

namespace lumora {

enum class TableSort { RunOrder, Theta, D, Qe, Qi, Intensity };

// The record indices to show: those with at least minIntensity percent of the
// strongest (when intensities are given and minIntensity > 0), sorted by key
// (the intensity strongest first, every other column smallest first; ties in
// run order). Null when that is every row in run order.
std::shared_ptr<const std::vector<std::size_t>> TableRows(const std::vector<ReflectionRecord>& records,
                                                          const std::vector<double>* intensities, TableSort key,
                                                          double minIntensity);

}  // namespace lumora
