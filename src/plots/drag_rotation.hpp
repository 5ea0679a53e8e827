// Turning the 3D plot with the mouse and the arrow keys: how far a drag step
// turns the points, and when the painting order is sorted again.
#pragma once

namespace lumora {

struct RotationStep {
  int axis = 0;        // 1, 2 or 3
  float angle = 0.0f;  // degrees
};

struct DragStep {
  RotationStep turn;   // about axis 3 (left-right), when |dH| > 0.1
  RotationStep tilt;   // about axis 2 (up-down), when |dV| > 0.1
  bool sort = false;   // a step above 0.25 degrees re-sorts the painting order
  bool redraw = false; // a step above 0.01 degrees redraws
};

// A move with the left button from (lastX, lastY) to (x, y), positions and the
// box width in twips: half a degree per 1/360 of the width.
DragStep LeftDragStep(float lastX, float lastY, float x, float y, float boxWidth);

// A move with the right button turns the picture in the screen plane, the
// opposite way on the left half of the box; axis 0 when below 0.1 degree.
RotationStep RightDragStep(float lastX, float lastY, float x, float y, float boxWidth);

// The arrow keys: Left/Right about axis 3 by -5/+5, Up/Down about axis 2 by +5/-5.
enum class ArrowKey { Left, Right, Up, Down };
RotationStep ArrowKeyStep(ArrowKey key);

}  // namespace lumora
