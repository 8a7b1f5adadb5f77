#include "engine/state.h"

#include <chrono>
#include <cstdint>
#include <numbers>
#include <ostream>
#include <vector>

#if defined(__x86_64__) || defined(_M_X64)
#include <x86intrin.h>
#define SKERROW_HAVE_RDTSC 1
#endif

#include "commands/setters.h"
#include "shell/runtime.h"

namespace engine {

EngineState Engine;
terrain::RasterDesc ImageBuffer;
std::vector<std::int32_t> LightBuffer;
std::vector<Color> SkyRows;

namespace {

// The pixels ImageBuffer.data points into; replaced only by RenderPort and
// released only by EngineInit and RenderPort.
std::vector<std::uint32_t> ImagePixels;

template <typename T>
void Release(std::vector<T>& buffer) {
  std::vector<T>().swap(buffer);
}

void ReleaseBuffers() {
  Release(ImagePixels);
  ImageBuffer = terrain::RasterDesc{};
  Release(LightBuffer);
  Release(SkyRows);
}

// A port larger than this is refused: the renderer keeps picture heights in
// 1/256 rows in 32-bit integers, and a picture beyond a few hundred megabytes
// is a typing mistake, not a wish.
bool PortTooLarge(std::int32_t width, std::int32_t height) {
  return width > kMaxPortSide || height > kMaxPortSide ||
         static_cast<std::int64_t>(width) * height > kMaxPortPixels;
}

void AllocateStandardPort(std::int32_t width, std::int32_t height) {
  ReleaseBuffers();
  shell::Console() << "allocating image buffer\n";
  ImagePixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
  shell::Console() << "allocating light buffer\n";
  LightBuffer.assign(static_cast<std::size_t>(height), 0);
  SkyRows.assign(static_cast<std::size_t>(height), Color{0, 0, 0});

  ImageBuffer.sampletype = terrain::kPixel32;
  ImageBuffer.width = width;
  ImageBuffer.height = height;
  ImageBuffer.rowstride = 4;
  ImageBuffer.colstride = height * 4;  // column by column, row 0 at the bottom
  ImageBuffer.data = reinterpret_cast<std::uint8_t*>(ImagePixels.data());
}

// The world map seen as a raster of its cells' height fields.
void SetWorldMapDescriptor() {
  terrain::WorldMapDesc.colstride = sizeof(terrain::MapCell);
  terrain::WorldMapDesc.rowstride = sizeof(terrain::MapCell) * terrain::kMapSize;
  terrain::WorldMapDesc.width = terrain::kMapSize;
  terrain::WorldMapDesc.height = terrain::kMapSize;
  terrain::WorldMapDesc.data = reinterpret_cast<std::uint8_t*>(&terrain::WorldMap[0].height);
  terrain::WorldMapDesc.sampletype = terrain::kInt16;
}

}  // namespace

void EngineStartup() {
  // A fresh record: no camera move yet, no field of view chosen, no
  // progress target, no buffers.
  ReleaseBuffers();
  Engine = EngineState{};
  commands::SetFogt(0);
  commands::SetFogdt(1.0f);
  Engine.setseed = 0;
  EngineInit();
}

void SteeringDefaults() {
  Engine.followground = false;
  Engine.steerspeed = 1.0f;
  Engine.texlevel = 10;
}

void EngineInit() {
  shell::Console() << "sk.init called\n";
  ReleaseBuffers();
  shell::Console() << "memory freed\n";
  SetDefaultParams();
  shell::Console() << "fillbyte\n";
  ImageBuffer = terrain::RasterDesc{};
  Engine.flags = StageFlags{};
  SetWorldMapDescriptor();
  shell::Console() << "sk.init done\n";
}

void SetDefaultParams() {
  // The script camera keeps its values (a fresh record starts it at 0); only
  // the render camera returns to its default view: until the first camera
  // move, frames look from the middle of the map along the diagonal.
  Engine.rendercamera = RenderCamera{2097152, 2097152, 0};
  Engine.renderangle = static_cast<float>(-45.0L * std::numbers::pi_v<long double> / 180.0L);
  Engine.interlacing = 1;
  Engine.texparam = 10;
  Engine.sunlightcolor = Color{0.9f, 0.85f, 0.8f};
  Engine.abovelightcolor = Color{0.1f, 0.12f, 0.14f};
  Engine.reverselightcolor = Color{0.14f, 0.12f, 0.1f};
  commands::SetFar(256);
  for (int c = 0; c < 3; ++c) Engine.fogcolor16[c] = 51200;
  const float fog = 51200.0f / 65280.0f;
  Engine.fogcolor = Color{fog, fog, fog};
  Engine.sunfirst = std::numbers::pi_v<float> / 2;
  Engine.sunelevation = 0.252f;
  Engine.cloudspeed[0] = -341;
  Engine.cloudspeed[1] = 1024;
  terrain::randstate = 0;
}

void RenderPort(std::int32_t kind, std::int32_t width, std::int32_t height) {
  if (Engine.interlacing >= width) Engine.interlacing = width - 1 > 1 ? width - 1 : 1;
  shell::Console() << "sk.renderport w=" << width << " h=" << height << " called\n";
  if (width < 1 || height < 1) return;

  if (PortTooLarge(width, height)) {
    shell::Console() << "picture of " << width << " x " << height
                     << " pixels is too large (at most " << kMaxPortPixels << " pixels, "
                     << kMaxPortSide << " per side),port unchanged\n";
    return;
  }
  if (kind == kPortStandard) {
    AllocateStandardPort(width, height);
  } else if (kind == kPortBicone) {
    // No renderer draws this projection; keep the port the user already has
    // rather than silently drawing a different one.
    shell::Console() << "bicone projection is not available,port unchanged\n";
  }
}

void SetProgressCallback(ProgressCallback callback, void* data) {
  Engine.progresscallback = callback;
  Engine.progressdata = data;
}

void NotifyProgress(std::int32_t first, std::int32_t last) {
  if (Engine.progresscallback != nullptr) Engine.progresscallback(first, last, Engine.progressdata);
}

void InvalidateLandscape() { Engine.flags = StageFlags{}; }

std::uint64_t ReadClock() {
#ifdef SKERROW_HAVE_RDTSC
  return __rdtsc();
#else
  return static_cast<std::uint64_t>(
      std::chrono::steady_clock::now().time_since_epoch().count());
#endif
}

}  // namespace engine
