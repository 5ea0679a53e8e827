// The thirteen data columns shared by the report and the clipboard table.
#pragma once

#include <array>

#include "reflections/reflection_record.hpp"
#include "report/report.hpp"

namespace lumora {

using ColumnSwitches = std::array<bool, 13>;

// Which of the columns h1..h6, theta, d, qe, qi, x, y, z are shown; h6 never
// for the axial systems (nDim 5).
ColumnSwitches ColumnsShown(const ReportColumns& columns, int nDim);

// The record's values in column order; qi as its absolute value.
std::array<double, 13> ColumnValues(const ReflectionRecord& record);

}  // namespace lumora
