#include "common/numeric.hpp"

#include <cmath>

namespace lumora {

double ArcSin(double x) {
  if (x >= 1.0) return kPi / 2.0;
  if (x <= -1.0) return -kPi / 2.0;
  return std::atan(x / std::sqrt(1.0 - x * x));
}

double ArcCos(double x) {
  if (x >= 1.0) return 0.0;
  if (x <= -1.0) return kPi;
  return std::atan(-x / std::sqrt(1.0 - x * x)) + 2.0 * std::atan(1.0);
}

float Frac(float x) { return x - std::trunc(x); }

double MinOf(double a, double b) { return a > b ? b : a; }
double MaxOf(double a, double b) { return a < b ? b : a; }
double Max3(double a, double b, double c) { return MaxOf(MaxOf(a, b), c); }

bool IsOdd(std::int64_t n) { return n % 2 != 0; }
bool IsEven(std::int64_t n) { return !IsOdd(n); }

double RoundHalfEven(double x) { return std::nearbyint(x); }

}  // namespace lumora
