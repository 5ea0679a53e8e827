#include "reflections/box_count.hpp"

#include <algorithm>

namespace lumora {

BoxCount BoxSize(const std::array<int, 6>& loopLimits, int nDim) {
  BoxCount size = 1;
  for (int k = 0; k < nDim; ++k) {
    if (loopLimits[static_cast<std::size_t>(k)] < 0) return 0;
    size *= static_cast<BoxCount>(2 * static_cast<long long>(loopLimits[static_cast<std::size_t>(k)]) + 1);
  }
  return size;
}

std::string ToDecimal(BoxCount value) {
  if (value == 0) return "0";
  std::string digits;
  while (value > 0) {
    digits += static_cast<char>('0' + static_cast<int>(value % 10));
    value /= 10;
  }
  std::reverse(digits.begin(), digits.end());
  return digits;
}

}  // namespace lumora
