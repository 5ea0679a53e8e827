#include "report/table_order.hpp"

#include <algorithm>
#include <numeric>

namespace lumora {

std::shared_ptr<const std::vector<std::size_t>> TableRows(const std::vector<ReflectionRecord>& records,
                                                          const std::vector<double>* intensities, TableSort key,
                                                          double minIntensity) {
  if (key == TableSort::Intensity && !intensities) key = TableSort::RunOrder;
  const bool thin = intensities && minIntensity > 0.0;
  if (key == TableSort::RunOrder && !thin) return nullptr;
  auto intensity = [intensities](std::size_t n) { return n < intensities->size() ? (*intensities)[n] : 0.0; };
  std::vector<std::size_t> rows;
  rows.reserve(records.size());
  for (std::size_t n = 0; n < records.size(); ++n)
    if (!thin || intensity(n) >= minIntensity) rows.push_back(n);
  auto value = [&](std::size_t n) -> double {
    const ReflectionRecord& r = records[n];
    switch (key) {
      case TableSort::Theta: return r.theta;
      case TableSort::D: return r.d;
      case TableSort::Qe: return r.qe;
      case TableSort::Qi: return r.qi;
      case TableSort::Intensity: return -intensity(n);
      case TableSort::RunOrder: break;
    }
    return 0.0;
  };
  if (key != TableSort::RunOrder)
    std::stable_sort(rows.begin(), rows.end(), [&](std::size_t a, std::size_t b) { return value(a) < value(b); });
  return std::make_shared<const std::vector<std::size_t>>(std::move(rows));
}

}  // namespace lumora
