#include "reflections/extinction.hpp"

#include <array>
#include <cmath>
#include <cstdint>
#include <string>

#include "common/numeric.hpp"

namespace lumora {
namespace {

bool HasCode(const std::string& rules, const char* code) {
  return rules.find(std::string(code) + " ") != std::string::npos;
}

bool MultipleOf(std::int64_t value, std::int64_t m) { return value % m == 0; }

}  // namespace

bool IsExtinct(const ReflectionRecord& record, const SpaceGroup& group, int nDim) {
  // Indices are whole numbers stored as Single; the sum is kept in 64 bits so
  // that large loop limits cannot overflow it (its parity is what matters).
  std::array<std::int64_t, 7> h{};  // 1-based
  for (int k = 1; k <= 6; ++k)
    h[k] = static_cast<std::int64_t>(RoundHalfEven(static_cast<double>(record.h[k - 1])));
  std::int64_t sum = 0;
  for (int k = 1; k <= nDim; ++k) sum += h[k];

  const std::string& symbol = group.symbol;
  if (symbol.find('F') != std::string::npos) {
    for (int k = 1; k <= 5; ++k)
      if (IsOdd(h[k]) && IsEven(h[k + 1])) return true;
    for (int k = 1; k <= 5; ++k)
      if (IsEven(h[k]) && IsOdd(h[k + 1])) return true;
  }
  if (symbol.find('I') != std::string::npos && IsOdd(sum)) return true;

  if (nDim == 5) {
    const std::string& rules = group.rules;
    const int cls = record.planeClass;
    const bool h5Odd = IsOdd(h[5]);
    // "Aoa" is listed in seven octagonal groups but excludes nothing.
    if (HasCode(rules, "Oa") && cls == 1 && h5Odd) return true;
    if (HasCode(rules, "Ob") && cls == 2 && h5Odd) return true;
    if (HasCode(rules, "Oea") && IsEven(sum) && cls == 1 && h5Odd) return true;
    if (HasCode(rules, "Oab") && (cls == 1 || cls == 2) && h5Odd) return true;
    if (HasCode(rules, "Eoa") && IsEven(h[5]) && cls == 1 && IsOdd(sum)) return true;
    if (HasCode(rules, "Zo") && h[5] == 0 && IsOdd(sum)) return true;
    if (HasCode(rules, "Zoa") && h[5] == 0 && cls == 1 && IsOdd(sum)) return true;
    return false;
  }

  if (nDim == 6) {
    const bool h2ToH6Equal = h[2] == h[3] && h[3] == h[4] && h[4] == h[5] && h[5] == h[6];
    const bool pairedOpposite = h[3] == -h[1] && h[4] == -h[2];
    switch (group.number) {
      case 76: return h2ToH6Equal && MultipleOf(h[1], 5);
      case 78:
      case 80: return h2ToH6Equal && MultipleOf(h[1] + 5 * h[2], 10);
      case 82: return pairedOpposite && MultipleOf(h[5] - h[6], 2);
      case 85: return pairedOpposite && MultipleOf(h[5] - h[6], 4);
      default: return false;
    }
  }
  return false;
}

}  // namespace lumora
