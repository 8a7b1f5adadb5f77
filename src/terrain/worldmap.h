// The world: a 1024 x 1024 map of cells that wraps around in both
// directions, its companion grids and tables, and the one random source of
// terrain synthesis. All tables have fixed size and live for the whole run.
#pragma once

#include <cstdint>

namespace terrain {

constexpr int kMapSize = 1024;
constexpr int kMapMask = kMapSize - 1;
constexpr int kMapCells = kMapSize * kMapSize;
constexpr int kLightEntries = 65536;
constexpr int kColorMapRows = 1024;
constexpr int kColorMapColumns = 256;
constexpr int kColorMapEntries = kColorMapRows * kColorMapColumns;
constexpr int kHeightUnitsPerCell = 64;

// One cell of the world. Heights are signed 16-bit height units, 64 per cell;
// every value stored keeps the low 16 bits of what was computed.
struct MapCell {
  std::int16_t height;
  std::int16_t shadow;    // sun-shadow surface, never below height
  std::int16_t tone;      // colour tone 0..16320 once a landscape is finished
  std::int16_t cloud[4];  // four cloud surfaces, paired 0/1 and 2/3
  std::uint8_t bump;      // surface bumpiness 0..255
  std::uint8_t unused;
};
static_assert(sizeof(MapCell) == 16, "the map descriptor steps 16 bytes per cell");

struct Texel {
  std::int16_t tex[2];  // two fractal texture layers
};

// Per texture layer one word: low byte slope along x, high byte along y,
// each a signed 8-bit value.
struct TexelSlopes {
  std::uint16_t slope[2];
};

struct LightEntry {
  float r, g, b;
};

// Sample types of a RasterDesc.
enum SampleType : std::int32_t {
  kUInt8 = 1,
  kInt8 = 2,
  kUInt16 = 3,
  kInt16 = 4,
  kPixel32 = 5,  // 0x00RRGGBB, the ImageBuffer's type
};

// A two-dimensional array of samples in memory: sample (i, j) lies at
// data + j * rowstride + i * colstride.
struct RasterDesc {
  std::int32_t colstride = 0;
  std::int32_t rowstride = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint8_t* data = nullptr;
  std::int32_t sampletype = 0;
};

extern MapCell WorldMap[kMapCells];
extern Texel TextureMap[kMapCells];
extern TexelSlopes TextureSlopes[kMapCells];
extern LightEntry SunLightTable[kLightEntries];
extern LightEntry SkyLightTable[kLightEntries];
extern std::uint32_t ColorMap[kColorMapEntries];
// The descriptor of the world map's height fields, set by EngineInit.
extern RasterDesc WorldMapDesc;

extern std::uint32_t randstate;

// Element number of cell (x, y), wrapping both coordinates.
constexpr std::int32_t CellIndex(std::int32_t x, std::int32_t y) {
  return (y & kMapMask) * kMapSize + (x & kMapMask);
}

// Element number for 20.12 fixed-point positions (floor of the cell).
constexpr std::int32_t CellIndexFixed(std::int32_t fx, std::int32_t fy) {
  return static_cast<std::int32_t>(((static_cast<std::uint32_t>(fy) >> 12) & kMapMask) * kMapSize +
                                   ((static_cast<std::uint32_t>(fx) >> 12) & kMapMask));
}

// A number in 0 .. n - 1 (0 for n = 0); advances randstate exactly once.
inline std::uint32_t Random(std::uint32_t n) {
  randstate = randstate * 134775813u + 1u;
  return static_cast<std::uint32_t>((static_cast<std::uint64_t>(randstate) * n) >> 32);
}

}  // namespace terrain
