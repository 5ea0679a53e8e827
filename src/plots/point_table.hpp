// The 3D plot's geometry and rotation state: one row per reflection holding its
// rotated coordinates (depth, screen-horizontal, screen-vertical) and its record
// number, in painting order. Rotations are applied to the rows themselves.
#pragma once

#include <array>
#include <vector>

#include "reflections/reflection_record.hpp"

namespace lumora {

// kQi holds the record's qi, so that a spot's size is known without reading
// its record.
enum PointColumn { kDepth = 0, kHorizontal = 1, kVertical = 2, kRecordNumber = 3, kQi = 4 };
using PointRow = std::array<float, 5>;
using PointTable = std::vector<PointRow>;

// Rows (x, y, z, record number, qi) in list order: the unrotated view.
PointTable MakePointTable(const std::vector<ReflectionRecord>& records);

// Turns every row about axis 1 (viewing direction), 2 (screen-horizontal) or 3
// (screen-vertical) by angle degrees. Computed in double from the stored
// singles and stored back as single precision.
void Rotate(PointTable& table, int axis, float angleDegrees);

// Sorts rows first..last by descending depth, so the nearest spots are
// painted last. The sort is stable: rows of equal depth keep their order.
void SortPlotRows(PointTable& table, int first, int last);
inline void SortPlotRows(PointTable& table) {
  SortPlotRows(table, 0, static_cast<int>(table.size()) - 1);
}

// The record number a row refers to.
inline std::size_t RecordOf(const PointRow& row) {
  return static_cast<std::size_t>(row[kRecordNumber] + 0.5f);
}

}  // namespace lumora
