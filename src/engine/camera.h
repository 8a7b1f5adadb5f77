// Camera steering by mouse and keys, and the ground-height query shared by
// the camera and the renderer.
#pragma once

#include <cstdint>

namespace engine {

constexpr float kEyeAboveGround = 3.0f;

// Bilinear terrain height in cells at (x, y) cells; the map wraps.
float GroundHeight(float x, float y);
void KeepAboveGround();
// mx, my in -1..1 (left/top is -1/+1); buttons: 1 left, 2 right, 4 middle.
void MouseSteer(float mx, float my, std::int32_t buttons);
// ch a character, or 0 for a special key given by its PC scan code.
void EngineKey(char ch, std::int32_t code);

}  // namespace engine
