#include "report/table_columns.hpp"

#include <cmath>

namespace lumora {

ColumnSwitches ColumnsShown(const ReportColumns& columns, int nDim) {
  ColumnSwitches on{};
  for (int k = 0; k < 6; ++k) on[static_cast<std::size_t>(k)] = columns.indices;
  if (nDim == 5) on[5] = false;
  on[6] = columns.theta;
  on[7] = columns.dSpacing;
  on[8] = on[9] = columns.qeQi;
  on[10] = on[11] = on[12] = columns.xyz;
  return on;
}

std::array<double, 13> ColumnValues(const ReflectionRecord& r) {
  return {r.h[0], r.h[1], r.h[2], r.h[3], r.h[4], r.h[5], r.theta, r.d, r.qe, std::fabs(r.qi), r.x, r.y, r.z};
}

}  // namespace lumora
