// Small numeric helpers shared by every subsystem. They reproduce the exact
// constants and rounding points the program's results depend on.
#pragma once

#include <cstdint>

namespace lumora {

// The program's value of pi. Borderline reflections depend on this literal,
// so it is used everywhere instead of a full-precision constant.
inline constexpr double kPi = 3.141592654;
inline constexpr double kDegreeFactor = kPi / 180.0;  // degrees -> radians
inline constexpr double kRadianDivisor = 0.01745329252;  // radians -> degrees (theta)

// ArcSin/ArcCos built from atan, with the saturation the program relies on:
// ArcSin(x >= 1) = pi/2, ArcCos(x >= 1) = 0, ArcCos(x <= -1) = pi.
double ArcSin(double x);
double ArcCos(double x);

// Fractional part of a single-precision value (x - trunc(x)), in single precision.
float Frac(float x);

// The second argument when the first is greater (MinOf) or smaller (MaxOf).
double MinOf(double a, double b);
double MaxOf(double a, double b);
double Max3(double a, double b, double c);

// Parity on whole numbers; negative odd numbers are odd.
bool IsOdd(std::int64_t n);
bool IsEven(std::int64_t n);

// Round to the nearest whole number, halves to even (the rounding of integer
// conversions: 2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
double RoundHalfEven(double x);

}  // namespace lumora
