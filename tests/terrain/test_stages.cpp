#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "engine/state.h"
#include "support/transcript.h"
#include "terrain/pipeline.h"
#include "terrain/stages.h"
#include "terrain/worldmap.h"

namespace {

using terrain::CellIndex;
using terrain::WorldMap;

constexpr std::int32_t kSteepest = std::numeric_limits<std::int32_t>::max();

terrain::MapCell& Cell(int x, int y) { return WorldMap[CellIndex(x, y)]; }

class Stages : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::ResetProgram();
    testsupport::ClearWorld();
    engine::Engine.flags = {};
  }
  // Runs a stage with the console captured and returns its lines.
  template <typename Stage>
  std::vector<std::string> Run(Stage stage) {
    testsupport::ConsoleCapture capture;
    stage();
    return capture.Lines();
  }
  void Shade(float elevation) {
    engine::Engine.sunelevation = elevation;
    EXPECT_EQ(Run(terrain::ShadeLandscape), std::vector<std::string>{"shading landscape"});
    EXPECT_TRUE(engine::Engine.flags.shadingready);
  }
};

TEST_F(Stages, ShadowSlopeForElevations) {
  const std::vector<std::pair<float, std::int32_t>> cases = {
      {0.252f, -67495},
      {1.0f, -408265},
      {0.5f, -143210},
      {0.0f, 0},
      {-0.3f, 0},                                     // below the horizon: a level line
      {std::numeric_limits<float>::quiet_NaN(), 0},   // no sun position at all
      {1.5707962f, -kSteepest},                       // tangent beyond 32 bits
      {std::numbers::pi_v<float> / 2, -kSteepest},    // zenith
      {3.0f, -kSteepest},                             // past the zenith
  };
  for (const auto& [elevation, slope] : cases) {
    EXPECT_EQ(terrain::ShadowSlope(elevation), slope) << "elevation " << elevation;
  }
}

TEST_F(Stages, ShadowOnFlatTerrainIsTheHeight) {
  for (auto& cell : WorldMap) cell.height = 100;
  Shade(0.252f);
  for (const auto& cell : WorldMap) ASSERT_EQ(cell.shadow, 100);
}

// A sun on the horizon (or below it) shades every row up to its highest point.
TEST_F(Stages, ShadowAtOrBelowHorizonIsTheRowMaximum) {
  for (float elevation : {0.0f, -0.4f}) {
    for (int x = 0; x < terrain::kMapSize; ++x) {
      Cell(x, 3).height = static_cast<std::int16_t>((x * 37) % 500 - 250);
      Cell(x, 4).height = -20000;
    }
    Cell(700, 3).height = 1500;
    Shade(elevation);
    for (int x = 0; x < terrain::kMapSize; ++x) {
      ASSERT_EQ(Cell(x, 3).shadow, 1500) << x;
      ASSERT_EQ(Cell(x, 4).shadow, -10000) << x;  // the line's start lies above this row
      ASSERT_EQ(Cell(x, 5).shadow, 0) << x;
    }
  }
}

// A peak of 1000 on level ground at 0 casts toward +x: the line drops 67495
// fine units (about 16.48 height units) per cell and truncates toward zero.
TEST_F(Stages, PeakCastsTowardPlusX) {
  Cell(10, 5).height = 1000;
  Shade(0.252f);
  const std::vector<std::pair<int, std::int16_t>> expected = {
      {9, 0}, {10, 1000}, {11, 983}, {12, 967}, {70, 11}, {71, 0}, {500, 0},
  };
  for (const auto& [x, shadow] : expected) EXPECT_EQ(Cell(x, 5).shadow, shadow) << "x " << x;
  EXPECT_EQ(Cell(11, 4).shadow, 0);
  EXPECT_EQ(Cell(11, 6).shadow, 0);
}

TEST_F(Stages, ShadowCrossesTheSeam) {
  Cell(1020, 7).height = 1000;
  Shade(0.252f);
  const std::vector<std::pair<int, std::int16_t>> expected = {
      {1019, 0}, {1020, 1000}, {1021, 983}, {1023, 950}, {0, 934}, {56, 11}, {57, 0}, {600, 0},
  };
  for (const auto& [x, shadow] : expected) EXPECT_EQ(Cell(x, 7).shadow, shadow) << "x " << x;
}

TEST_F(Stages, SunAtZenithCastsNoShadow) {
  Cell(10, 5).height = 30000;
  Cell(11, 5).height = -30000;
  Shade(std::numbers::pi_v<float> / 2);
  EXPECT_EQ(Cell(10, 5).shadow, 30000);
  EXPECT_EQ(Cell(11, 5).shadow, -30000);
  EXPECT_EQ(Cell(12, 5).shadow, 0);
}

// Extreme heights with the steepest and the level line stay in range.
TEST_F(Stages, ShadowOfExtremeHeights) {
  for (int x = 0; x < terrain::kMapSize; ++x) Cell(x, 0).height = (x % 2) ? 32767 : -32768;
  Shade(1.5707962f);
  EXPECT_EQ(Cell(0, 0).shadow, -32768);
  EXPECT_EQ(Cell(1, 0).shadow, 32767);
  Shade(0.0f);
  EXPECT_EQ(Cell(0, 0).shadow, 32767);
}

// A spike of 16 at the map origin: the raw roughness is 212 at the spike
// (sqrt 2 x 16 x 9.375) and 53 at its four diagonal neighbours.
TEST_F(Stages, BumpOfASpikeWrapsAroundTheOrigin) {
  Cell(0, 0).height = 16;
  EXPECT_EQ(Run(terrain::MakeBumpMap), std::vector<std::string>{"Generating surface bumpness map"});
  EXPECT_TRUE(engine::Engine.flags.bumpready);
  EXPECT_EQ(terrain::BumpScratch[CellIndex(0, 0)], 212);
  EXPECT_EQ(terrain::BumpScratch[CellIndex(1023, 1023)], 53);
  EXPECT_EQ(terrain::BumpScratch[CellIndex(1, 1023)], 53);
  EXPECT_EQ(terrain::BumpScratch[CellIndex(1, 0)], 0);
  const std::vector<std::pair<std::pair<int, int>, int>> bump = {
      {{0, 0}, 114},    // 212/2 + (4 x 53)/24
      {{1, 0}, 26},     // (0 + (212 + 2 x 53)/6)/2
      {{1023, 0}, 26},  // across the seam
      {{1, 1}, 34},     // (53 + 0)/2 + 212/24
      {{2, 2}, 2},      // 53/24
      {{2, 0}, 4},      // axis sum 0, diagonal sum 106
      {{5, 5}, 0},
  };
  for (const auto& [at, value] : bump) {
    EXPECT_EQ(Cell(at.first, at.second).bump, value) << at.first << "," << at.second;
  }
}

TEST_F(Stages, BumpIsZeroOnFlatGroundAndAtMost255) {
  for (auto& cell : WorldMap) cell.height = -700;
  Run(terrain::MakeBumpMap);
  for (const auto& cell : WorldMap) ASSERT_EQ(cell.bump, 0);
  Cell(9, 9).height = 64;  // raw 849 at the spike: 424 + ... is limited
  Run(terrain::MakeBumpMap);
  EXPECT_EQ(Cell(9, 9).bump, 255);
}

// A cliff whose raw roughness passes 32767 stays the roughest there is
// instead of wrapping to a negative value.
TEST_F(Stages, BumpOfACliffStaysRough) {
  Cell(9, 9).height = 3000;  // raw sqrt 2 x 3000 x 9.375 = 39775
  Run(terrain::MakeBumpMap);
  EXPECT_EQ(terrain::BumpScratch[CellIndex(9, 9)], 32767);
  EXPECT_EQ(terrain::BumpScratch[CellIndex(10, 10)], 9944);  // 750 x sqrt 2 x 9.375
  for (const auto& [x, y] : std::vector<std::pair<int, int>>{{9, 9}, {10, 9}, {10, 10}, {11, 11}}) {
    EXPECT_EQ(Cell(x, y).bump, 255) << x << "," << y;
  }
}

std::vector<std::pair<int, int>> ProgressCalls;
void RecordProgress(std::int32_t first, std::int32_t last, void*) { ProgressCalls.push_back({first, last}); }

TEST_F(Stages, BumpStageDrawsTonePreviewThatFits) {
  for (int y = 0; y < terrain::kMapSize; ++y) {
    for (int x = 0; x < terrain::kMapSize; ++x) Cell(x, y).tone = static_cast<std::int16_t>((x + y) * 8);
  }
  Cell(3, 2).tone = 16320;
  Run([] { engine::RenderPort(0, 30, 20); });
  ProgressCalls.clear();
  engine::SetProgressCallback(RecordProgress, nullptr);
  Run(terrain::MakeBumpMap);
  engine::SetProgressCallback(nullptr, nullptr);

  EXPECT_EQ(engine::PixelAt(3, 2), 0xFFFFFFu);
  EXPECT_EQ(engine::PixelAt(0, 0), 0u);
  EXPECT_EQ(engine::PixelAt(29, 19), ((29 + 19) * 8 / 64) * 0x10101u);
  EXPECT_EQ(engine::PixelAt(10, 5), (15 * 8 / 64) * 0x10101u);
  ASSERT_EQ(ProgressCalls.size(), 30u);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(ProgressCalls[i], std::make_pair(i, i + 1));
}

TEST_F(Stages, BumpStageWithoutPictureMakesNoProgressCalls) {
  ProgressCalls.clear();
  engine::SetProgressCallback(RecordProgress, nullptr);
  Run(terrain::MakeBumpMap);  // after start-up there is no picture
  engine::SetProgressCallback(nullptr, nullptr);
  EXPECT_TRUE(ProgressCalls.empty());
  EXPECT_TRUE(engine::Engine.flags.bumpready);
}

// Slope bytes: the central difference over 4, truncated toward zero, low byte
// only; x in the low byte, y in the high byte, both wrapping.
TEST_F(Stages, TextureSlopeBytes) {
  auto& tex = terrain::TextureMap;
  tex[CellIndex(11, 3)].tex[0] = -5;
  tex[CellIndex(21, 3)].tex[0] = -3;
  tex[CellIndex(1, 0)].tex[1] = 600;
  terrain::MakeTextureSlopes();
  struct Case {
    int x, y, layer;
    std::uint16_t word;
  };
  const std::vector<Case> cases = {
      {10, 3, 0, 0x00FF},    // -5 -> -1
      {12, 3, 0, 0x0001},    // +5 -> 1
      {11, 2, 0, 0xFF00},    // the same along y
      {11, 4, 0, 0x0100},
      {20, 3, 0, 0x0000},    // -3 -> 0, toward zero
      {0, 0, 1, 0x0096},     // 600 -> 150, past the signed byte
      {2, 0, 1, 0x006A},     // -600 -> -150, low byte 0x6A
      {1, 1023, 1, 0x9600},  // across the seam in y
      {1, 1, 1, 0x6A00},
      {0, 0, 0, 0x0000},
      {10, 3, 1, 0x0000},    // layers are independent
  };
  for (const Case& c : cases) {
    EXPECT_EQ(terrain::TextureSlopes[CellIndex(c.x, c.y)].slope[c.layer], c.word)
        << c.x << "," << c.y << " layer " << c.layer;
  }
}

TEST_F(Stages, TexturesDrawTwoLayersAndPrintOneLine) {
  engine::Engine.flags.texturesready = false;
  terrain::randstate = 5;
  EXPECT_EQ(Run(terrain::MakeTextures), std::vector<std::string>{"generating textures...done."});
  EXPECT_TRUE(engine::Engine.flags.texturesready);
  std::uint32_t s = 5;
  for (int i = 0; i < 2 * 2097150; ++i) s = s * 134775813u + 1u;
  EXPECT_EQ(terrain::randstate, s);
}

TEST_F(Stages, CloudsCountDownOnOneLine) {
  terrain::randstate = 0;
  EXPECT_EQ(Run(terrain::MakeClouds), std::vector<std::string>{"preparing clouds simulator 4 3 2 1 0 ,done"});
  EXPECT_TRUE(engine::Engine.flags.cloudsready);
  std::uint32_t s = 0;
  for (int i = 0; i < 4 * 2097150; ++i) s = s * 134775813u + 1u;
  EXPECT_EQ(terrain::randstate, s);
}

TEST_F(Stages, LightnessEntries) {
  engine::Engine.sunelevation = 0.252f;
  engine::Engine.sunlightcolor = {0.9f, 0.85f, 0.8f};
  engine::Engine.abovelightcolor = {0.1f, 0.12f, 0.14f};
  engine::Engine.reverselightcolor = {0.14f, 0.12f, 0.1f};
  EXPECT_EQ(Run(terrain::MakeLightnessTables), std::vector<std::string>{"Calculating lightness tables,done."});
  EXPECT_TRUE(engine::Engine.flags.lightnessready);

  const double c = static_cast<float>(std::cos(static_cast<double>(0.252f)));
  const double sn = static_cast<float>(std::sin(static_cast<double>(0.252f)));
  struct Case {
    int index, gx, gy;
  };
  for (const Case& k : {Case{0x0000, 0, 0}, Case{0x80FF, -1, -128}, Case{0x0080, -128, 0},
                        Case{0x7F7F, 127, 127}, Case{0x0100, 0, 1}}) {
    const double n = std::sqrt(k.gx * k.gx + k.gy * k.gy + 1024.0);
    const float sun = static_cast<float>((k.gx * c + 32 * sn) / n);
    const float up = static_cast<float>(32 / n);
    const float rev = std::max(-sun, 0.0f);
    const float lit = std::max(sun, 0.0f);
    const auto& s = terrain::SunLightTable[k.index];
    const auto& k2 = terrain::SkyLightTable[k.index];
    EXPECT_FLOAT_EQ(s.r, lit * 0.9f) << k.index;
    EXPECT_FLOAT_EQ(s.b, lit * 0.8f) << k.index;
    EXPECT_FLOAT_EQ(k2.g, up * 0.12f + rev * 0.12f) << k.index;
    EXPECT_FLOAT_EQ(k2.b, up * 0.14f + rev * 0.1f) << k.index;
  }
  // Facing away from the sun: no direct light, reflected light instead.
  EXPECT_EQ(terrain::SunLightTable[0x0080].r, 0.0f);
  EXPECT_GT(terrain::SkyLightTable[0x0080].r, terrain::SkyLightTable[0x0080].b);
  // Level ground: sun = sin e, up = 1, rev = 0.
  EXPECT_EQ(terrain::SunLightTable[0].g, static_cast<float>(sn) * 0.85f);
  EXPECT_EQ(terrain::SkyLightTable[0].r, 0.1f);
}

TEST_F(Stages, DefaultColorMapLowerRows) {
  terrain::randstate = 4242;
  EXPECT_EQ(Run(terrain::MakeDefaultColorMap),
            std::vector<std::string>{"Colormap unspecified,using default colormap."});
  EXPECT_TRUE(engine::Engine.flags.colormapready);
  const auto at = [](int row, int column) { return terrain::ColorMap[row * 256 + column]; };
  EXPECT_EQ(at(0, 5), 0xFFFFFFu);
  EXPECT_NE(at(0, 6), 0xFFFFFFu);
  EXPECT_EQ(at(255, 68), 0xFFFFFFu);
  EXPECT_NE(at(255, 69), 0xFFFFFFu);

  // Every tinted entry takes blue, green, red from three successive draws.
  std::uint32_t s = 4242;
  const auto draw5 = [&s] {
    s = s * 134775813u + 1u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(s) * 5) >> 32);
  };
  int tinted = 0;
  for (int row = 0; row < 256; ++row) {
    for (int column = 0; column < 256; ++column) {
      if (at(row, column) == 0xFFFFFFu) continue;
      ++tinted;
      const std::uint32_t b = draw5(), g = draw5(), r = draw5();
      ASSERT_EQ(at(row, column), 0x808080u + r * 65536 + g * 256 + b) << row << "," << column;
    }
  }
  EXPECT_EQ(tinted, 55936);
  EXPECT_EQ(3 * tinted, 167808);
}

// Rows 256..1023 (tones above 4096) continue the map: row 256 matches row 255
// (white up to column 69, tinted grey beyond), nothing is black, and the
// rows follow from the seed.
TEST_F(Stages, DefaultColorMapUpperRows) {
  terrain::randstate = 1;
  Run(terrain::MakeDefaultColorMap);
  std::vector<std::uint32_t> first(terrain::ColorMap, terrain::ColorMap + terrain::kColorMapEntries);
  const auto at = [](int row, int column) { return terrain::ColorMap[row * 256 + column]; };
  EXPECT_EQ(at(256, 69), 0xFFFFFFu);
  const std::uint32_t grey = at(256, 70);
  for (int shift : {0, 8, 16}) {
    EXPECT_GE((grey >> shift) & 0xFF, 128u);
    EXPECT_LE((grey >> shift) & 0xFF, 132u);
  }
  for (int i = 256 * 256; i < terrain::kColorMapEntries; ++i) {
    ASSERT_NE(terrain::ColorMap[i], 0u) << i;
    ASSERT_EQ(terrain::ColorMap[i] >> 24, 0u) << i;
  }
  // Middle tones are green on level ground, rockier on steep ground.
  const std::uint32_t grass = at(520, 0);
  EXPECT_GT((grass >> 8) & 0xFF, (grass >> 16) & 0xFF);
  EXPECT_NE(at(520, 200), grass);

  Run(terrain::MakeDefaultColorMap);  // another seed position
  EXPECT_NE(std::vector<std::uint32_t>(terrain::ColorMap, terrain::ColorMap + terrain::kColorMapEntries), first);
  terrain::randstate = 1;
  Run(terrain::MakeDefaultColorMap);
  EXPECT_EQ(std::vector<std::uint32_t>(terrain::ColorMap, terrain::ColorMap + terrain::kColorMapEntries), first);
}

}  // namespace
