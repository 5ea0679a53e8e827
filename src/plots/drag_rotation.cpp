#include "plots/drag_rotation.hpp"

#include <cmath>

namespace lumora {

DragStep LeftDragStep(float lastX, float lastY, float x, float y, float boxWidth) {
  const float dV = (lastY - y) * 360.0f / boxWidth * 0.5f;
  const float dH = (lastX - x) * 360.0f / boxWidth * 0.5f;
  DragStep step;
  if (std::fabs(dH) > 0.1f) step.turn = {3, -dH};
  if (std::fabs(dV) > 0.1f) step.tilt = {2, dV};
  step.sort = std::fabs(dV) > 0.25f || std::fabs(dH) > 0.25f;
  step.redraw = std::fabs(dV) > 0.01f || std::fabs(dH) > 0.01f;
  return step;
}

RotationStep RightDragStep(float lastX, float lastY, float x, float y, float boxWidth) {
  float a = ((y - lastY) * 360.0f / boxWidth + (x - lastX) * 360.0f / boxWidth) * 0.5f;
  if (x < boxWidth / 2.0f) a = -a;
  if (std::fabs(a) > 0.1f) return {1, a};
  return {};
}

RotationStep ArrowKeyStep(ArrowKey key) {
  switch (key) {
    case ArrowKey::Left: return {3, -5.0f};
    case ArrowKey::Right: return {3, 5.0f};
    case ArrowKey::Up: return {2, 5.0f};
    case ArrowKey::Down: return {2, -5.0f};
  }
  return {};
}

}  // namespace lumora
