#include "commands/setters.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>
#include <ostream>

#include "engine/state.h"
#include "shell/runtime.h"
#include "terrain/worldmap.h"

namespace commands {
namespace {

using engine::Engine;

// 20.12 fixed point: 4096 render units per cell.
constexpr float kFixedOne = 4096.0f;
// Fog colours are kept as 8.8 fixed point per channel, 255 x 256 at most.
constexpr double kFog16Scale = 255.0 * 256.0;
// The narrowest field of view accepted: a factor above this would make the
// focal length of a large picture overflow 32 bits.
constexpr long double kMaxFovFactor = 10000.0L;

// Horizontal render positions wrap with the world: keeping the low 32 bits
// keeps the cell modulo the map size. NaN and values beyond 64 bits come out
// as 0 (llrint's domain error), never as undefined behaviour.
std::int32_t WrapToFixed(float cells) {
  const float units = cells * kFixedOne;  // the product as a single first
  if (!std::isfinite(units) || std::fabs(units) >= 9.2e18f) return 0;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(std::llrint(units)));
}

// The eye height does not wrap: a height beyond the 20.12 range stays at its
// limit, NaN gives 0.
std::int32_t SaturateToFixed(float cells) {
  const float units = cells * kFixedOne;
  if (std::isnan(units)) return 0;
  if (units >= 2147483648.0f) return std::numeric_limits<std::int32_t>::max();
  if (units < -2147483648.0f) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(std::llrint(units));
}

float LimitUnit(float v) {
  if (!(v >= 0.0f)) return 0.0f;  // NaN too
  return v > 1.0f ? 1.0f : v;
}

std::int32_t Fog16(float limited) {
  return static_cast<std::int32_t>(std::lrint(static_cast<double>(limited) * kFog16Scale));
}

long double FovFactor(float angle) {
  return 1.0L / (2.0L * std::tan(static_cast<long double>(angle) / 2.0L));
}

void SetFov(float angle, std::int32_t mode) {
  if (!FovAngleUsable(angle)) return;
  Engine.flags.fovset = true;
  Engine.fovfactor = static_cast<float>(FovFactor(angle));
  Engine.fovmode = mode;
}

}  // namespace

void SetCamera(float x, float y, float z, float angle) {
  Engine.camera = engine::Camera{x, y, z, angle};
  Engine.rendercamera.x = WrapToFixed(x);
  Engine.rendercamera.y = WrapToFixed(y);
  Engine.rendercamera.z = SaturateToFixed(z);
  Engine.renderangle = angle;
}

void SetFar(std::int32_t n) { Engine.far = static_cast<float>(n); }

void SetFogColor(float r, float g, float b) {
  r = LimitUnit(r);
  g = LimitUnit(g);
  b = LimitUnit(b);
  Engine.fogcolor = engine::Color{r, g, b};
  Engine.fogcolor16[0] = Fog16(r);
  Engine.fogcolor16[1] = Fog16(g);
  Engine.fogcolor16[2] = Fog16(b);
}

void SetFogt(float v) { Engine.fogt = v; }

void SetFogdt(float v) { Engine.fogdt = v; }

bool FovAngleUsable(float angle) {
  if (!std::isfinite(angle)) return false;
  if (!(angle > 0.0f) || !(angle < std::numbers::pi_v<float>)) return false;
  const long double factor = FovFactor(angle);
  return factor > 0.0L && factor <= kMaxFovFactor;
}

void SetFovV(float angle) { SetFov(angle, 0); }
void SetFovH(float angle) { SetFov(angle, 1); }
void SetFovD(float angle) { SetFov(angle, 2); }

void SetInterlacing(std::int32_t n) {
  if (n > 0) Engine.interlacing = n;
}

void SetTexParam(std::int32_t n) {
  if (n < 0) n = 0;
  if (n > 14) n = 14;
  Engine.texparam = static_cast<std::uint8_t>(n);
}

void SetSeed(std::int32_t n) {
  shell::Console() << "sk.setseed " << n << " called\n";
  Engine.setseed = n;
}

void SetSunPos(float first, float elevation) {
  Engine.sunfirst = first;
  Engine.sunelevation = elevation;
  Engine.flags.shadingready = false;
  Engine.flags.lightnessready = false;
}

void SetSunLightColor(float r, float g, float b) {
  Engine.sunlightcolor = engine::Color{r, g, b};
  Engine.flags.lightnessready = false;
}

void SetAboveLightColor(float r, float g, float b) {
  Engine.abovelightcolor = engine::Color{r, g, b};
  Engine.flags.lightnessready = false;
}

void SetReverseLightColor(float r, float g, float b) {
  Engine.reverselightcolor = engine::Color{r, g, b};
  Engine.flags.lightnessready = false;
}

void SetColorMap(const std::uint32_t* table) {
  std::memcpy(terrain::ColorMap, table, sizeof terrain::ColorMap);
  Engine.flags.colormapready = true;
}

}  // namespace commands
