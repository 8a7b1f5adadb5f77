#include "engine/camera.h"

#include <cmath>
#include <cstdint>
#include <numbers>

#include "commands/setters.h"
#include "engine/state.h"
#include "terrain/worldmap.h"

namespace engine {

namespace {

using terrain::CellIndexFixed;
using terrain::WorldMap;

constexpr float kFixedOne = 4096.0f;          // 20.12: units per cell
constexpr float kFineCell = 262144.0f;        // 4096 x 64: fine height units per cell
constexpr float kMouseTravel = 10.0f;         // cells per frame at the window edge
constexpr float kMouseTurn = std::numbers::pi_v<float> / 6.0f;
constexpr float kKeyStep = 0.8f;              // cells per movement key
constexpr float kKeyRise = 1.0f;              // cells per Home / Page Up
constexpr float kKeyTurn = 0.0872664626f;     // 5 degrees
constexpr int kLowestTexLevel = 0;
constexpr int kHighestTexLevel = 10;

// PC scan codes of the special keys the viewer passes on.
enum ScanCode : std::int32_t {
  kHome = 0x47,
  kUp = 0x48,
  kPageUp = 0x49,
  kLeft = 0x4B,
  kRight = 0x4D,
  kEnd = 0x4F,
  kDown = 0x50,
  kPageDown = 0x51,
};

// A position in cells as 20.12; positions wrap with the map, so only the low
// 32 bits matter.
std::int32_t ToFixed(float cells) {
  const float units = cells * kFixedOne;
  if (!std::isfinite(units) || std::fabs(units) >= 9.2e18f) return 0;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(std::llrint(units)));
}

inline std::int32_t HeightAt(std::int32_t fx, std::int32_t fy) {
  return WorldMap[CellIndexFixed(fx, fy)].height;
}

inline std::int32_t Offset(std::int32_t v) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) + 4096u);
}

void MoveBy(float dx, float dy) {
  Engine.camera.x = Engine.camera.x + dx;
  Engine.camera.y = Engine.camera.y + dy;
}

// The action of a special key; false for keys that do nothing at all.
bool ApplyScanCode(std::int32_t code) {
  const float a = Engine.camera.angle;
  const float s = std::sin(a);
  const float c = std::cos(a);
  switch (code) {
    case kHome:
      Engine.camera.z = Engine.camera.z - kKeyRise;
      return true;
    case kUp:  // forward
      MoveBy(-s * kKeyStep, c * kKeyStep);
      return true;
    case kPageUp:
      Engine.camera.z = Engine.camera.z + kKeyRise;
      Engine.followground = false;
      return true;
    case kLeft:
      Engine.camera.angle = a + kKeyTurn;
      return true;
    case kRight:
      Engine.camera.angle = a - kKeyTurn;
      return true;
    case kEnd:  // step left
      MoveBy(-c * kKeyStep, -s * kKeyStep);
      return true;
    case kDown:  // back
      MoveBy(s * kKeyStep, -c * kKeyStep);
      return true;
    case kPageDown:  // step right
      MoveBy(c * kKeyStep, s * kKeyStep);
      return true;
    default:
      return false;
  }
}

// A new world under the colour map already present.
void NewLandscape() {
  commands::SetSeed(static_cast<std::int32_t>(static_cast<std::uint32_t>(ReadClock())));
  InvalidateLandscape();
  Engine.flags.colormapready = true;
}

void ApplyCharacter(char ch) {
  switch (ch) {
    case 'T':
      if (Engine.texlevel > kLowestTexLevel) --Engine.texlevel;
      break;
    case 't':
      if (Engine.texlevel < kHighestTexLevel) ++Engine.texlevel;
      break;
    case 'g':
      Engine.followground = true;
      break;
    case 'r':
      NewLandscape();
      break;
    default:
      break;
  }
}

}  // namespace

float GroundHeight(float x, float y) {
  const std::int32_t ix = ToFixed(x);
  const std::int32_t iy = ToFixed(y);
  const std::int32_t fx = ix & 4095;
  const std::int32_t fy = iy & 4095;
  const std::int32_t h00 = HeightAt(ix, iy);
  const std::int32_t h01 = HeightAt(ix, Offset(iy));
  const std::int32_t h10 = HeightAt(Offset(ix), iy);
  const std::int32_t h11 = HeightAt(Offset(ix), Offset(iy));
  // First along y, in cells.
  const float a = static_cast<float>(h00 * 4096 + (h01 - h00) * fy) / kFineCell;
  const float b = static_cast<float>(h10 * 4096 + (h11 - h10) * fy) / kFineCell;
  return (b - a) * static_cast<float>(fx) / kFixedOne + a;
}

void KeepAboveGround() {
  const float lowest = GroundHeight(Engine.camera.x, Engine.camera.y) + kEyeAboveGround;
  if (Engine.followground || lowest > Engine.camera.z) {
    Engine.followground = true;
    Engine.camera.z = lowest;
  } else {
    Engine.followground = false;
  }
  commands::SetCamera(Engine.camera.x, Engine.camera.y, Engine.camera.z, Engine.camera.angle);
}

void MouseSteer(float mx, float my, std::int32_t buttons) {
  const float a = Engine.camera.angle;
  const float s = Engine.steerspeed;
  if (buttons == 1) {
    // Forward or back by the mouse height, turning by its side.
    const float t = my * kMouseTravel;
    Engine.camera.x = Engine.camera.x - std::sin(a) * t * s;
    Engine.camera.y = Engine.camera.y + std::cos(a) * t * s;
    Engine.camera.angle = a - mx * kMouseTurn * s;
  } else if (buttons == 2 || buttons == 4) {
    // Sideways by the mouse's side, up or down by its height.
    const float t = mx * kMouseTravel;
    Engine.camera.x = Engine.camera.x + std::cos(a) * t * s;
    Engine.camera.y = Engine.camera.y + std::sin(a) * t * s;
    Engine.camera.z = Engine.camera.z + my * kMouseTravel * s;
    Engine.followground = false;
  }
  KeepAboveGround();
}

void EngineKey(char ch, std::int32_t code) {
  if (ch != 0) {
    ApplyCharacter(ch);
  } else if (!ApplyScanCode(code)) {
    return;  // function keys, Insert: nothing at all
  }
  KeepAboveGround();
  commands::SetTexParam(Engine.texlevel);
}

}  // namespace engine
