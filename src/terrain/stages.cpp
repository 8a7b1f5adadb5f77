#include "terrain/stages.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <ostream>

#include "engine/state.h"
#include "shell/runtime.h"
#include "terrain/pipeline.h"

namespace terrain {

std::int16_t BumpScratch[kMapCells];

namespace {

// Fixed-point heights: 4096 units per height unit.
constexpr std::int64_t kFine = 4096;
// Where the shadow line of a row starts: -10000 height units.
constexpr std::int64_t kShadowStart = -40960000;
// One fine unit below the lowest possible height: a line below it shades
// nothing, so holding it there changes no result and keeps it in 32 bits.
constexpr std::int64_t kShadowFloor = -32768 * kFine - 1;

// Sun shadow along one row: a line that drops by `slope` per cell toward +x
// and is raised to every cell it passes under. The row is walked twice around
// the torus so that the line crosses the seam; the second lap stops at the
// first lit cell, after which both laps agree.
void ShadeRow(MapCell* row, std::int64_t slope) {
  std::int64_t s = kShadowStart;
  for (int x = 0; x < 2 * kMapSize; ++x) {
    MapCell& cell = row[x & kMapMask];
    const std::int64_t h = cell.height * kFine;
    if (h > s) {
      s = h;
      if (x > kMapSize + 1) break;
    }
    cell.shadow = static_cast<std::int16_t>(s / kFine);
    s = std::max(s + slope, kShadowFloor);
  }
}

// Raw roughness of one cell: the distance of its height from the mean of its
// four diagonal neighbours (k / 4 for k = diagonal sum - 4 x height), scaled
// by 600 per cell of height. Cliffs of more than about 46 cells would pass
// the signed 16-bit range and turn negative; they are held at 32767 instead,
// the roughest value, which the smoothing then limits to 255.
std::int16_t RawRoughness(std::int32_t k) {
  const double d = k * 0.25;
  const double r = std::sqrt(d * d + d * d);
  const float scaled = static_cast<float>(r * 0.015625 * 600.0);
  return static_cast<std::int16_t>(std::min(32767.0f, std::nearbyint(scaled)));
}

// RawRoughness by |k|, filled as far as a map has needed it so far; the
// entries never change, so the table serves every later run.
constexpr std::int32_t kLargestK = 8 * 32768;
std::int16_t RoughnessByK[kLargestK + 1];
std::int32_t RoughnessKnown = 0;

std::int16_t LookUpRoughness(std::int32_t k) {
  const std::int32_t m = k < 0 ? -k : k;
  if (m >= RoughnessKnown) {
    for (; RoughnessKnown <= m; ++RoughnessKnown) RoughnessByK[RoughnessKnown] = RawRoughness(RoughnessKnown);
  }
  return RoughnessByK[m];
}

void RawRoughnessPass() {
  for (int y = 0; y < kMapSize; ++y) {
    const MapCell* up = &WorldMap[CellIndex(0, y - 1)];
    const MapCell* here = &WorldMap[CellIndex(0, y)];
    const MapCell* down = &WorldMap[CellIndex(0, y + 1)];
    std::int16_t* out = &BumpScratch[CellIndex(0, y)];
    const auto at = [&](int x, int l, int r) {
      const std::int32_t sum = up[l].height + up[r].height + down[l].height + down[r].height;
      out[x] = LookUpRoughness(sum - 4 * here[x].height);
    };
    at(0, kMapMask, 1);
    for (int x = 1; x < kMapMask; ++x) at(x, x - 1, x + 1);
    at(kMapMask, kMapMask - 1, 0);
  }
}

// Smooths the raw roughness: the cell weighs 1/2, each axis neighbour 1/12,
// each diagonal neighbour 1/24; at most 255.
void SmoothBumpPass() {
  for (int y = 0; y < kMapSize; ++y) {
    const std::int16_t* up = &BumpScratch[CellIndex(0, y - 1)];
    const std::int16_t* here = &BumpScratch[CellIndex(0, y)];
    const std::int16_t* down = &BumpScratch[CellIndex(0, y + 1)];
    MapCell* out = &WorldMap[CellIndex(0, y)];
    const auto at = [&](int x, int l, int r) {
      const std::int32_t s1 = up[x] + down[x] + here[l] + here[r];
      const std::int32_t t = (here[x] + s1 / 6) / 2;
      const std::int32_t s2 = up[l] + up[r] + down[l] + down[r];
      out[x].bump = static_cast<std::uint8_t>(std::min<std::int32_t>(255, t + s2 / 24));
    };
    at(0, kMapMask, 1);
    for (int x = 1; x < kMapMask; ++x) at(x, x - 1, x + 1);
    at(kMapMask, kMapMask - 1, 0);
  }
}

// The tone map as a grey picture in the ImageBuffer, as far as it fits.
// Tiles keep both the map rows and the picture columns in cache.
void DrawTonePreview() {
  constexpr int kTile = 32;
  const terrain::RasterDesc& image = engine::ImageBuffer;
  if (image.data == nullptr) return;
  const int width = std::min(image.width, kMapSize);
  const int height = std::min(image.height, kMapSize);
  for (int y0 = 0; y0 < height; y0 += kTile) {
    const int y1 = std::min(y0 + kTile, height);
    for (int x0 = 0; x0 < width; x0 += kTile) {
      const int x1 = std::min(x0 + kTile, width);
      for (int x = x0; x < x1; ++x) {
        for (int y = y0; y < y1; ++y) {
          const std::int32_t g = WorldMap[CellIndex(x, y)].tone / 64;
          engine::PixelAt(x, y) = static_cast<std::uint32_t>(g) * 0x10101u;
        }
      }
    }
  }
}

// A texture slope: the central difference divided by 4 (32 per cell over a
// 128-texel base), keeping only its low byte.
std::uint32_t SlopeByte(std::int32_t difference) {
  return static_cast<std::uint32_t>((difference * 32) / 128) & 0xFFu;
}

}  // namespace

void MakeTextureSlopes() {
  for (int y = 0; y < kMapSize; ++y) {
    const Texel* up = &TextureMap[CellIndex(0, y - 1)];
    const Texel* here = &TextureMap[CellIndex(0, y)];
    const Texel* down = &TextureMap[CellIndex(0, y + 1)];
    TexelSlopes* out = &TextureSlopes[CellIndex(0, y)];
    const auto at = [&](int x, int l, int r) {
      for (int k = 0; k < 2; ++k) {
        const std::uint32_t gx = SlopeByte(here[r].tex[k] - here[l].tex[k]);
        const std::uint32_t gy = SlopeByte(down[x].tex[k] - up[x].tex[k]);
        out[x].slope[k] = static_cast<std::uint16_t>(gy * 256 + gx);
      }
    };
    at(0, kMapMask, 1);
    for (int x = 1; x < kMapMask; ++x) at(x, x - 1, x + 1);
    at(kMapMask, kMapMask - 1, 0);
  }
}

namespace {

// Default colour map above row 255: the ground by tone (low plains, grass,
// forest, bare rock, snow) and, toward the right of each row, by steepness
// (rock). Each stop gives, for its row, the colour of level ground, the
// colour of rock, the last column of level ground and the number of columns
// over which it turns to rock; rows between stops interpolate. Row 256
// continues row 255: white up to column 69, grey from column 70 on.
struct GroundStop {
  int row;
  int flat[3];
  int rock[3];
  int edge;
  int blend;
};

constexpr GroundStop kGroundStops[] = {
    {256, {255, 255, 255}, {128, 128, 128}, 69, 1},
    {320, {232, 226, 196}, {126, 122, 116}, 50, 10},
    {400, {150, 170, 95}, {124, 114, 100}, 30, 20},
    {520, {88, 132, 58}, {122, 111, 96}, 30, 20},
    {680, {70, 100, 48}, {118, 106, 90}, 30, 20},
    {790, {112, 98, 72}, {118, 110, 100}, 28, 20},
    {880, {132, 126, 118}, {118, 116, 112}, 28, 20},
    {950, {200, 200, 204}, {140, 140, 142}, 32, 20},
    {1000, {248, 248, 252}, {165, 165, 170}, 36, 22},
    {1023, {255, 255, 255}, {176, 176, 182}, 40, 24},
};

int Between(int from, int to, int t, int span) { return from + (to - from) * t / span; }

GroundStop GroundAt(int row) {
  std::size_t i = 1;
  while (kGroundStops[i].row < row) ++i;
  const GroundStop& lo = kGroundStops[i - 1];
  const GroundStop& hi = kGroundStops[i];
  const int span = hi.row - lo.row;
  const int t = row - lo.row;
  GroundStop g{row, {}, {}, Between(lo.edge, hi.edge, t, span), Between(lo.blend, hi.blend, t, span)};
  for (int c = 0; c < 3; ++c) {
    g.flat[c] = Between(lo.flat[c], hi.flat[c], t, span);
    g.rock[c] = Between(lo.rock[c], hi.rock[c], t, span);
  }
  return g;
}

// One draw per entry gives the slight tint, 0..4 in each channel.
void FillUpperColorRows() {
  for (int row = 256; row < kColorMapRows; ++row) {
    const GroundStop g = GroundAt(row);
    for (int column = 0; column < kColorMapColumns; ++column) {
      const int w = std::clamp(column - g.edge, 0, g.blend);  // rockiness 0..blend
      const auto tint = static_cast<int>(Random(125));
      const int extra[3] = {tint / 25, tint / 5 % 5, tint % 5};
      std::uint32_t colour = 0;
      for (int c = 0; c < 3; ++c) {
        const int value = std::min(255, Between(g.flat[c], g.rock[c], w, g.blend) + extra[c]);
        colour = colour << 8 | static_cast<std::uint32_t>(value);
      }
      ColorMap[row * kColorMapColumns + column] = colour;
    }
  }
}

}  // namespace

std::int32_t ShadowSlope(float elevation) {
  constexpr std::int32_t kSteepest = std::numeric_limits<std::int32_t>::max();
  // At or below the horizon the sun casts the longest shadows there are: a
  // level line, every row shaded up to its highest point.
  if (!(elevation > 0.0f)) return 0;
  // At or past the zenith nothing casts a shadow beyond its own cell.
  if (!(elevation < std::numbers::pi_v<long double> / 2)) return -kSteepest;
  const long double drop = std::tan(static_cast<long double>(elevation)) * 262144.0L;
  if (drop >= static_cast<long double>(kSteepest)) return -kSteepest;
  return -static_cast<std::int32_t>(std::nearbyintl(drop));
}

void ShadeLandscape() {
  shell::Console() << "shading landscape\n";
  const std::int64_t slope = ShadowSlope(engine::Engine.sunelevation);
  for (int y = 0; y < kMapSize; ++y) ShadeRow(&WorldMap[CellIndex(0, y)], slope);
  engine::Engine.flags.shadingready = true;
}

void MakeBumpMap() {
  shell::Console() << "Generating surface bumpness map\n";
  RawRoughnessPass();
  SmoothBumpPass();
  DrawTonePreview();
  for (int i = 0; i < engine::ImageBuffer.width; ++i) engine::NotifyProgress(i, i + 1);
  engine::Engine.flags.bumpready = true;
}

void MakeClouds() {
  std::ostream& out = shell::Console();
  out << "preparing clouds simulator 4" << std::flush;
  RunFractalLayer(FractalTarget::Cloud0);
  out << " 3" << std::flush;
  RunFractalLayer(FractalTarget::Cloud1);
  out << " 2" << std::flush;
  RunFractalLayer(FractalTarget::Cloud2);
  out << " 1" << std::flush;
  RunFractalLayer(FractalTarget::Cloud3);
  out << " 0 ,done\n";
  engine::Engine.flags.cloudsready = true;
}

// Light per packed slope pair: the slope (gx, gy) stands for the normal
// (-gx, -gy, 32) / n; the sun shines from -x at elevation e.
void MakeLightnessTables() {
  std::ostream& out = shell::Console();
  out << "Calculating lightness tables," << std::flush;
  const engine::EngineState& state = engine::Engine;
  const double e = state.sunelevation;
  const float c = static_cast<float>(std::cos(e));
  const float sn = static_cast<float>(std::sin(e));
  for (int gy = -128; gy < 128; ++gy) {
    for (int gx = -128; gx < 128; ++gx) {
      const double n = std::sqrt(static_cast<double>(gx * gx + gy * gy + 1024));
      float sun = static_cast<float>((gx * static_cast<double>(c) + 32.0 * static_cast<double>(sn)) / n);
      float up = static_cast<float>(32.0 / n);
      float rev = -sun;
      sun = std::max(sun, 0.0f);
      up = std::max(up, 0.0f);
      rev = std::max(rev, 0.0f);
      const int i = (gy & 255) * 256 + (gx & 255);
      SunLightTable[i] = {sun * state.sunlightcolor.r, sun * state.sunlightcolor.g,
                          sun * state.sunlightcolor.b};
      SkyLightTable[i] = {up * state.abovelightcolor.r + rev * state.reverselightcolor.r,
                          up * state.abovelightcolor.g + rev * state.reverselightcolor.g,
                          up * state.abovelightcolor.b + rev * state.reverselightcolor.b};
    }
  }
  out << "done.\n";
  engine::Engine.flags.lightnessready = true;
}

void MakeTextures() {
  std::ostream& out = shell::Console();
  out << "generating textures..." << std::flush;
  RunFractalLayer(FractalTarget::Tex0);
  RunFractalLayer(FractalTarget::Tex1);
  MakeTextureSlopes();
  out << "done.\n";
  engine::Engine.flags.texturesready = true;
}

// Rows 0..255: white on gentle slopes, a slightly tinted grey on steeper ones
// (three draws per grey entry, blue first). Rows above continue the map with
// landscape colours.
void MakeDefaultColorMap() {
  for (int row = 0; row < 256; ++row) {
    for (int column = 0; column < kColorMapColumns; ++column) {
      std::uint32_t colour = 0xFFFFFFu;
      if (column > row / 4 + 5) {
        const std::uint32_t b = Random(5);
        const std::uint32_t g = Random(5);
        const std::uint32_t r = Random(5);
        colour = 0x808080u + r * 65536u + g * 256u + b;
      }
      ColorMap[row * kColorMapColumns + column] = colour;
    }
  }
  FillUpperColorRows();
  engine::Engine.flags.colormapready = true;
  shell::Console() << "Colormap unspecified,using default colormap.\n";
}

}  // namespace terrain
