// One kept reflection, with the fixed 60-byte layout of fourteen single-precision
// slots and two 16-bit flags.
#pragma once

#include <array>
#include <cstdint>

namespace lumora {

enum PlaneClass : std::int16_t {
  kGeneralPlane = 0,
  kFirstFamily = 1,   // on a direction of the first family ("a", "along")
  kSecondFamily = 2,  // on a direction of the second family ("b", "between")
};

struct ReflectionRecord {
  std::array<float, 6> h{};  // indices h1..h6 (h6 is 0 for the axial systems)
  float theta = 0.0f;        // Bragg angle, degrees
  float d = 0.0f;            // plane spacing, A
  float qe = 0.0f;           // physical reciprocal length, 1/A (no 2 pi)
  float qi = 0.0f;           // internal (perpendicular-space) length
  float x = 0.0f;            // physical reciprocal coordinates, 1/A
  float y = 0.0f;
  float z = 0.0f;
  float reserved = 0.0f;
  std::int16_t planeClass = kGeneralPlane;
  std::int16_t mainFlag = 0;  // -1 for a main reflection
};
static_assert(sizeof(ReflectionRecord) == 60, "reflection records keep their 60-byte layout");

}  // namespace lumora
