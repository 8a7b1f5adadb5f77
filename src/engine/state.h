// The voxel engine's one state record: scene parameters (named after the
// commands that set them), per-frame derived values, the stage flags of the
// landscape pipeline, the steering state, and the picture buffers.
#pragma once

#include <cstdint>
#include <vector>

#include "terrain/worldmap.h"

namespace engine {

struct Color {
  float r, g, b;
};

struct Camera {
  float x, y, z;  // cells; z is the eye height
  float angle;    // radians; forward (-sin a, cos a), right (cos a, sin a)
};

// The renderer's camera: 20.12 fixed point (4096 units per cell).
struct RenderCamera {
  std::int32_t x, y, z;
};

// One-byte flags cleared together by EngineInit and InvalidateLandscape.
struct StageFlags {
  bool landscapeready;
  bool shadingready;
  bool bumpready;
  bool cloudsready;
  bool lightnessready;
  bool fovset;
  bool texturesready;
  bool colormapready;
};

using ProgressCallback = void (*)(std::int32_t first, std::int32_t last, void* data);

struct EngineState {
  // Scene parameters (written back by the parameter autosave).
  Camera camera{0, 0, 0, 0};
  float far = 256;  // view distance in cells, always a whole number
  float fogt = 0;
  float fogdt = 1;
  Color fogcolor{};
  Color sunlightcolor{};
  Color abovelightcolor{};
  Color reverselightcolor{};
  float sunfirst = 0;
  float sunelevation = 0;
  std::int32_t setseed = 0;

  // Derived and working values.
  std::int32_t fogcolor16[3] = {0, 0, 0};  // fogcolor x 255 x 256, 0..65280
  std::uint32_t fogpixel = 0;              // fogcolor16 packed 0x00RRGGBB
  std::int32_t fovmode = 0;                // 0 vertical, 1 horizontal, 2 diagonal
  float fovfactor = 0;                     // 1 / (2 tan(fov / 2))
  std::int32_t focal = 0;                  // focal length in pixels
  std::int32_t interlacing = 1;
  std::int32_t interlacephase = 0;
  std::uint8_t texparam = 10;
  std::int32_t cloudspeed[2] = {-341, 1024};
  std::int32_t cloudshift[2] = {0, 0};
  RenderCamera rendercamera{0, 0, 0};
  float renderangle = 0;
  float heightscale = 1.0f / 64.0f;
  std::int32_t fogdensity = 0;
  ProgressCallback progresscallback = nullptr;
  void* progressdata = nullptr;
  std::uint64_t clockstart = 0;
  std::uint64_t clockend = 0;

  // Steering.
  bool followground = false;
  float steerspeed = 1;
  std::int32_t texlevel = 10;

  StageFlags flags{};
};

extern EngineState Engine;

// The picture: 32-bit 0x00RRGGBB pixels, stored column by column, row 0 at
// the bottom. LightBuffer holds one fog-density change per row, SkyRows one
// sky colour per row. The engine owns all three.
extern terrain::RasterDesc ImageBuffer;
extern std::vector<std::int32_t> LightBuffer;
extern std::vector<Color> SkyRows;

// RenderPort kinds: the standard perspective, and the bicone projection,
// which has no renderer (a request for it leaves the port unchanged).
constexpr std::int32_t kPortStandard = 0;
constexpr std::int32_t kPortBicone = 1;
// Largest port RenderPort allocates; a larger request is refused with a
// console line and the old buffers stay in use.
constexpr std::int32_t kMaxPortSide = 32768;
constexpr std::int64_t kMaxPortPixels = std::int64_t{1} << 25;

// Engine start-up (once, before the script): fogt 0, fogdt 1, setseed 0,
// then EngineInit.
void EngineStartup();
// Steering defaults: followground false, steerspeed 1, texlevel 10.
void SteeringDefaults();
void EngineInit();
void SetDefaultParams();
// kind 0 standard perspective, 1 bicone.
void RenderPort(std::int32_t kind, std::int32_t width, std::int32_t height);
void SetProgressCallback(ProgressCallback callback, void* data);
void NotifyProgress(std::int32_t first, std::int32_t last);
void InvalidateLandscape();
std::uint64_t ReadClock();

// Pixel (x, y) of the ImageBuffer (no bounds check).
inline std::uint32_t& PixelAt(std::int32_t x, std::int32_t y) {
  return *reinterpret_cast<std::uint32_t*>(ImageBuffer.data + x * ImageBuffer.colstride +
                                           y * ImageBuffer.rowstride);
}

}  // namespace engine
