#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/span.h"
#include "engine/state.h"
#include "support/transcript.h"
#include "terrain/worldmap.h"

namespace {

using engine::Column;
using engine::DrawSpan;
using engine::Engine;
using engine::LightBuffer;
using engine::PixelAt;
using testsupport::ConsoleCapture;

constexpr std::int32_t kRows = 8;
constexpr std::uint32_t kUntouched = 0x00ABCDEF;

// A 2 x 8 picture over a zero world: every texel 0, so every pixel uses
// light entry 0 and colour-map column 0 of the tone's row.
class SpanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::ResetProgram();
    testsupport::ClearWorld();
    {
      ConsoleCapture quiet;
      engine::RenderPort(engine::kPortStandard, 2, kRows);
    }
    for (std::int32_t r = 0; r < kRows; ++r) PixelAt(0, r) = kUntouched;
    Engine.fogpixel = 0x00C8C8C8;
    Engine.fogdensity = 0;
    Column = engine::ColumnState{};
  }

  // Direct sunlight of a flat surface, no sky light.
  static void Light(float r, float g, float b) { terrain::SunLightTable[0] = {r, g, b}; }

  static void Fog(std::int32_t r, std::int32_t g, std::int32_t b) {
    Engine.fogcolor16[0] = r;
    Engine.fogcolor16[1] = g;
    Engine.fogcolor16[2] = b;
  }

  // A flat span of tone row 0 from y1 to y2, with the given shadow depths.
  static void FlatSpan(std::int32_t y1, std::int32_t y2, std::int32_t da = 0, std::int32_t db = 0) {
    DrawSpan(0, y1, y2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, da, db);
  }
};

TEST_F(SpanTest, SpanCoversRowsFromItsStartBelowItsEnd) {
  terrain::ColorMap[0] = 0x00FFFFFF;
  Light(1, 1, 1);
  struct Case {
    std::int32_t y1, y2;
    std::int32_t first, last;  // rows drawn
  };
  const Case cases[] = {
      {0, 256, 0, 0},             // exactly row 0
      {-700, 300, 0, 0},          // a start below the picture begins at row 0
      {2 * 256 + 17, 5 * 256, 2, 4},
      {3 * 256, 99 * 256, 3, kRows - 1},   // an end above the picture stops at the top row
      {20 * 256, 30 * 256, kRows - 1, kRows - 1},  // a start above the top still draws the top row
  };
  for (const Case& c : cases) {
    for (std::int32_t r = 0; r < kRows; ++r) PixelAt(0, r) = kUntouched;
    FlatSpan(c.y1, c.y2);
    for (std::int32_t r = 0; r < kRows; ++r) {
      const bool drawn = r >= c.first && r <= c.last;
      EXPECT_EQ(PixelAt(0, r), drawn ? 0x00FFFFFFu : kUntouched)
          << "span " << c.y1 << ".." << c.y2 << " row " << r;
    }
  }
}

TEST_F(SpanTest, FogDensityBlendsGroundIntoFogColour) {
  terrain::ColorMap[0] = 0x00FFFFFF;
  Light(1, 1, 1);
  struct Case {
    std::int32_t density;
    std::int32_t fog16;
    std::uint32_t pixel;
  };
  const Case cases[] = {
      {0, 65280, 0x00FFFFFF},
      {255, 65280, 0x00C8C8C8},  // fogpixel exactly, whatever the fog colour says
      {900, 0, 0x00C8C8C8},
      {254, 65280, 0x00FEFEFE},  // 253 from the fog, 1 from the lit ground
      {254, 0, 0x00010101},
      {128, 32768, 0x00BF7F7F},  // 127 + 64 red; 127 + 0 green and blue
  };
  for (const Case& c : cases) {
    Fog(c.fog16, c.fog16 == 32768 ? 0 : c.fog16, c.fog16 == 32768 ? 0 : c.fog16);
    LightBuffer.assign(kRows, 0);
    LightBuffer[1] = c.density;
    Engine.fogdensity = 0;
    FlatSpan(256, 2 * 256);
    EXPECT_EQ(PixelAt(0, 1), c.pixel) << "density " << c.density;
    EXPECT_EQ(Engine.fogdensity, c.density);
  }
}

TEST_F(SpanTest, LightChannelsClampEachOnItsOwn) {
  terrain::ColorMap[0] = 0x00808080;
  struct Case {
    float r, g, b;
    std::uint32_t pixel;
  };
  const Case cases[] = {
      {-1.0f, 0.5f, 1.0f, 0x00004080},
      {3.0f, -0.2f, 0.5f, 0x00FF0040},
      {1.0f, 1.99f, -7.0f, 0x0080FF00},
  };
  for (const Case& c : cases) {
    Light(c.r, c.g, c.b);
    FlatSpan(0, 256);
    EXPECT_EQ(PixelAt(0, 0), c.pixel);
  }
}

TEST_F(SpanTest, SunAndSkyTablesAddUp) {
  terrain::ColorMap[0] = 0x00646464;  // 100
  terrain::SunLightTable[0] = {0.5f, 0.25f, 0.0f};
  terrain::SkyLightTable[0] = {0.25f, 0.25f, 0.1f};
  FlatSpan(0, 256);
  EXPECT_EQ(PixelAt(0, 0), 0x004B320Au);  // 75, 50, 10
}

TEST_F(SpanTest, ToneOutsideItsRangeIsReportedAndClamped) {
  for (std::int32_t row = 0; row < terrain::kColorMapRows; ++row) {
    terrain::ColorMap[row * 256] = static_cast<std::uint32_t>(row);
  }
  Light(1, 1, 1);
  struct Case {
    std::int32_t ta, tb;
    std::vector<std::string> lines;
    std::uint32_t bottom;  // colour-map row of the first pixel
  };
  const Case cases[] = {
      {-5, 0, {"Wooops[ h1<0] !"}, 0},
      {engine::kMaxFineTone + 1, engine::kMaxFineTone, {"Wooops[ h1>max] !"}, 1020},
      {0, -1, {"Wooops[h2<0] !"}, 0},
      {0, engine::kMaxFineTone + 4096, {"Wooops[h2>max] !"}, 0},
      {-1, 1 << 30, {"Wooops[ h1<0] !", "Wooops[h2>max] !"}, 0},
      {16 * 4096 * 100, 0, {}, 100},
  };
  for (const Case& c : cases) {
    ConsoleCapture capture;
    DrawSpan(0, 0, 4 * 256, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, c.ta, c.tb);
    EXPECT_EQ(capture.Lines(), c.lines);
    EXPECT_EQ(PixelAt(0, 0), c.bottom);
  }
}

TEST_F(SpanTest, BumpHeightOfLargeTexelsKeepsItsRow) {
  // m1 x b = 32767 x 255 x 4096 leaves 32 bits (wrapped, it would give row
  // 0); the bump height is m0 + m1 x bump / 256 = 32639, colour-map row 127.
  for (std::int32_t row = 0; row < terrain::kColorMapRows; ++row) {
    terrain::ColorMap[row * 256] = static_cast<std::uint32_t>(row);
  }
  Light(1, 1, 1);
  const std::int32_t b = 255 * 4096;
  struct Case {
    std::int16_t m0, m1;
    std::uint32_t row;
  };
  const Case cases[] = {
      {0, 32767, 127},
      {0, -32768, 127},  // |e| = 32640
      {100, 20000, (100 * 256 + 20000 * 255) / 65536},
      {-3000, 0, 11},
  };
  for (const Case& c : cases) {
    terrain::TextureMap[0].tex[0] = c.m0;
    terrain::TextureMap[0].tex[1] = c.m1;
    DrawSpan(0, 0, 256, 0, 0, 0, 0, 0, 0, 0, 0, b, b, 0, 0);
    EXPECT_EQ(PixelAt(0, 0), c.row) << "m0 " << c.m0 << " m1 " << c.m1;
  }
}

TEST_F(SpanTest, SteepnessPicksColumnAndNeverLeavesTheTable) {
  for (std::int32_t i = 0; i < terrain::kColorMapEntries; ++i) {
    terrain::ColorMap[i] = static_cast<std::uint32_t>(i);
  }
  for (auto& entry : terrain::SunLightTable) entry = {1, 1, 1};
  // Terrain slope gx = 2 x 4096 x nx; the texel adds nothing.
  struct Case {
    std::int32_t gx, gy, tone;
    std::uint32_t index;
  };
  const Case cases[] = {
      {2 * 4096 * 3, 2 * 4096 * -4, 0, 7},
      {2 * 4096 * 200, 2 * 4096 * 100, 0, 300},  // runs into the next row
      {2 * 4096 * 200, 0, engine::kMaxFineTone, 1020 * 256 + 200},
      {2 * 4096 * 3000, 0, engine::kMaxFineTone, terrain::kColorMapEntries - 1},
  };
  for (const Case& c : cases) {
    DrawSpan(0, 0, 256, 0, 0, 0, 0, c.gx, c.gy, c.gx, c.gy, 0, 0, c.tone, c.tone);
    // ColorMap entries double as colours: compare the lit index.
    EXPECT_EQ(PixelAt(0, 0), c.index) << "gx " << c.gx;
  }
}

TEST_F(SpanTest, FogEventsActOnRowsStillToBeDrawn) {
  Column.drawntop = 4 * 256;  // rows 0..3 drawn
  // Slab wholly below the drawn top: cancels out.
  engine::AddFog(1 * 256, 5);
  engine::AddFog(3 * 256 + 255, -5);
  EXPECT_EQ(Engine.fogdensity, 0);
  EXPECT_EQ(LightBuffer, std::vector<std::int32_t>(kRows, 0));

  // Lower end hidden, upper end above the drawn top: raises the density from
  // the next drawn row up to the upper row.
  engine::AddFog(2 * 256, 7);
  engine::AddFog(6 * 256 + 10, -7);
  EXPECT_EQ(Engine.fogdensity, 7);
  EXPECT_EQ(LightBuffer[6], -7);

  // Events above the picture are dropped; the drawn top's own row is open.
  engine::AddFog(kRows * 256, 50);
  engine::AddFog(4 * 256, 3);
  EXPECT_EQ(Engine.fogdensity, 7);
  EXPECT_EQ(LightBuffer[4], 3);
}

TEST_F(SpanTest, SkyPixelThroughFog) {
  Fog(65280, 0, 32768);
  const engine::Color sky{0.6f, 0.8f, 1.0f};
  EXPECT_EQ(engine::SkyPixel(sky, 0), 0x0099CCFFu);  // 153, 204, 255
  EXPECT_EQ(engine::SkyPixel(sky, 255), Engine.fogpixel);
  EXPECT_EQ(engine::SkyPixel(sky, 100), 0x00C07CCDu);  // 93 + 99, 124 + 0, 155 + 50
}

TEST_F(SpanTest, OnlyDeepShadowDimsTheSun) {
  terrain::ColorMap[0] = 0x00C8C8C8;  // 200
  terrain::SunLightTable[0] = {1.0f, 1.0f, 1.0f};
  terrain::SkyLightTable[0] = {0.1f, 0.1f, 0.1f};
  struct Case {
    std::int32_t depth;
    float share;
  };
  const Case cases[] = {
      {0, 1.0f},
      {engine::kFineCell, 1.0f},
      {engine::kFineCell + engine::kFineCell / 2, engine::SunShare(engine::kFineCell * 3 / 2)},
      {2 * engine::kFineCell, engine::SunShare(2 * engine::kFineCell)},
      {50 * engine::kFineCell, engine::SunShare(2 * engine::kFineCell)},
  };
  FlatSpan(0, 256);
  const std::uint32_t lit = PixelAt(0, 0);
  EXPECT_EQ(lit, 0x00DCDCDCu);  // 200 x 1.1
  for (const Case& c : cases) {
    FlatSpan(0, 256, c.depth, c.depth);
    const std::uint32_t channel = static_cast<std::uint32_t>(std::nearbyint(200.0f * (c.share + 0.1f)));
    EXPECT_EQ(PixelAt(0, 0), channel * 0x10101u) << "depth " << c.depth;
  }
  // Deeper is never brighter, and the deepest shadow still shows the ground.
  EXPECT_LT(engine::SunShare(2 * engine::kFineCell), engine::SunShare(engine::kFineCell * 3 / 2));
  EXPECT_GT(engine::SunShare(2 * engine::kFineCell), 0.0f);
}

}  // namespace
