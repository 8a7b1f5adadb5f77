#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/state.h"
#include "support/transcript.h"
#include "terrain/pipeline.h"
#include "terrain/stages.h"
#include "terrain/worldmap.h"

namespace {

using terrain::CellIndex;
using terrain::FractalTarget;
using terrain::WorldMap;

constexpr std::uint32_t kLayerDraws = 2097150;

std::int16_t HeightAt(int x, int y) { return WorldMap[CellIndex(x, y)].height; }
std::int16_t ToneAt(int x, int y) { return WorldMap[CellIndex(x, y)].tone; }

// randstate after `steps` draws from `state`.
std::uint32_t Advance(std::uint32_t state, std::uint32_t steps) {
  for (std::uint32_t i = 0; i < steps; ++i) state = state * 134775813u + 1u;
  return state;
}

void FreshEngine() {
  testsupport::ResetProgram();
  testsupport::ClearWorld();
  engine::Engine.setseed = 0;
  engine::Engine.sunelevation = 0.252f;
  engine::Engine.sunlightcolor = {0.9f, 0.85f, 0.8f};
  engine::Engine.abovelightcolor = {0.1f, 0.12f, 0.14f};
  engine::Engine.reverselightcolor = {0.14f, 0.12f, 0.1f};
  engine::Engine.flags = {};
}

// FNV-1a over a run of memory, to compare whole grids.
std::uint64_t Digest(const void* data, std::size_t bytes) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  std::uint64_t h = 1469598103934665603ull;
  for (std::size_t i = 0; i < bytes; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

std::uint64_t CloudDigest() {
  std::uint64_t h = 0;
  for (int i = 0; i < terrain::kMapCells; i += 997) {
    for (int k = 0; k < 4; ++k) h = h * 31 + static_cast<std::uint16_t>(WorldMap[i].cloud[k]);
  }
  return h;
}

// The landscape stage of a fresh seed-0 world, step by step, with every
// figure it must produce.
TEST(FreshSeedZero, LandscapeFigures) {
  FreshEngine();
  terrain::randstate = 0;
  for (float& r : terrain::Roughness) r = 0.0f;

  struct Figure {
    std::string what;
    std::int64_t actual;
    std::int64_t expected;
  };
  std::vector<Figure> figures;
  auto note = [&](const std::string& what, std::int64_t actual, std::int64_t expected) {
    figures.push_back({what, actual, expected});
  };

  terrain::RunFractalLayer(FractalTarget::Height);
  note("randstate after landscape layer", terrain::randstate, 2377949962);
  note("height (0,0)", HeightAt(0, 0), -641);
  note("height (1,0)", HeightAt(1, 0), -677);
  note("height (0,1)", HeightAt(0, 1), -626);
  note("height (512,512)", HeightAt(512, 512), 653);
  note("height (1023,1023)", HeightAt(1023, 1023), -610);
  std::int32_t lo = HeightAt(0, 0), hi = lo;
  for (const auto& cell : WorldMap) {
    lo = std::min<std::int32_t>(lo, cell.height);
    hi = std::max<std::int32_t>(hi, cell.height);
  }
  note("lowest height", lo, -4811);
  note("highest height", hi, 4554);

  terrain::RunFractalLayer(FractalTarget::Tone);
  note("randstate after detail layer", terrain::randstate, 2647902116);

  terrain::ShapeHeights();
  note("shaped (0,0)", HeightAt(0, 0), -258);
  note("shaped (1,0)", HeightAt(1, 0), -268);
  note("shaped (0,1)", HeightAt(0, 1), -253);
  note("shaped (512,512)", HeightAt(512, 512), 392);
  note("shaped (1023,1023)", HeightAt(1023, 1023), -248);

  terrain::DeriveTone();
  note("tone (0,0)", ToneAt(0, 0), 4385);
  note("tone (1,0)", ToneAt(1, 0), 4352);
  note("tone (512,512)", ToneAt(512, 512), 5539);
  lo = ToneAt(0, 0), hi = lo;
  for (const auto& cell : WorldMap) {
    lo = std::min<std::int32_t>(lo, cell.tone);
    hi = std::max<std::int32_t>(hi, cell.tone);
  }
  note("lowest tone", lo, 0);
  note("highest tone", hi, 16320);

  note("shadow slope at 0.252", terrain::ShadowSlope(0.252f), -67495);

  terrain::MakeLightnessTables();
  const float sn = static_cast<float>(std::sin(static_cast<double>(0.252f)));
  EXPECT_EQ(terrain::SunLightTable[0].r, sn * 0.9f);
  EXPECT_EQ(terrain::SunLightTable[0].g, sn * 0.85f);
  EXPECT_EQ(terrain::SunLightTable[0].b, sn * 0.8f);
  EXPECT_EQ(terrain::SkyLightTable[0].r, 0.1f);  // up = 1, rev = 0
  EXPECT_EQ(terrain::SkyLightTable[0].g, 0.12f);
  EXPECT_EQ(terrain::SkyLightTable[0].b, 0.14f);

  {
    testsupport::ConsoleCapture capture;
    terrain::MakeDefaultColorMap();
  }
  int tinted = 0;
  for (int i = 0; i < 256 * 256; ++i) tinted += terrain::ColorMap[i] != 0xFFFFFFu;
  note("tinted colour-map entries", tinted, 55936);
  note("their draws", 3 * tinted, 167808);

  for (const Figure& f : figures) EXPECT_EQ(f.actual, f.expected) << f.what;
}

TEST(FractalLayer, AmplitudeLists) {
  struct Case {
    FractalTarget layer;
    std::vector<std::int32_t> a1, a2;
  };
  const std::vector<Case> cases = {
      {FractalTarget::Height,
       {26, 128, 256, 512, 1024, 2048, 4096, 0, 0, 0},
       {18, 91, 181, 362, 724, 1448, 2896, 0, 0, 0}},
      {FractalTarget::Tone,
       {0, 51, 102, 205, 410, 1229, 819, 819, 0, 0},
       {0, 36, 72, 145, 290, 869, 579, 579, 0, 0}},
  };
  for (const Case& c : cases) {
    // The layer leaves its entries in Roughness; run it on a zero map.
    terrain::randstate = 0;
    for (float& r : terrain::Roughness) r = 0.0f;
    terrain::RunFractalLayer(c.layer);
    for (int level = 0; level < 10; ++level) {
      const terrain::LevelAmplitudes a = terrain::AmplitudesOf(terrain::Roughness, level);
      EXPECT_EQ(a.a1, c.a1[level]) << "level " << level;
      EXPECT_EQ(a.a2, c.a2[level]) << "level " << level;
    }
  }
}

TEST(FractalLayer, ZeroRoughnessGivesZeroAndStillDraws) {
  testsupport::ClearWorld();
  for (auto& cell : WorldMap) cell.cloud[2] = 1234;  // stale values are overwritten
  const float zero[terrain::kRoughnessEntries] = {};
  terrain::randstate = 99;
  terrain::FractalLayer(FractalTarget::Cloud2, zero);
  EXPECT_EQ(terrain::randstate, Advance(99, kLayerDraws));
  for (const auto& cell : WorldMap) ASSERT_EQ(cell.cloud[2], 0);
}

TEST(FractalLayer, WritesOnlyItsOwnField) {
  testsupport::ClearWorld();
  terrain::randstate = 7;
  terrain::RunFractalLayer(FractalTarget::Tex1);
  bool any = false;
  for (int i = 0; i < terrain::kMapCells; ++i) {
    ASSERT_EQ(terrain::TextureMap[i].tex[0], 0);
    any = any || terrain::TextureMap[i].tex[1] != 0;
  }
  EXPECT_TRUE(any);
  for (const auto& cell : WorldMap) ASSERT_EQ(cell.height, 0);
}

TEST(ShapeHeights, Table) {
  const std::vector<std::pair<std::int16_t, std::int16_t>> cases = {
      {0, 0},          {1, 1},       {-1, 0},       {100, 52},        {-100, -48},   {3200, 2731},
      {-3200, -469},   {10000, 9762}, {-10000, -238}, {32767, 32689}, {-32768, -78},
  };
  testsupport::ClearWorld();
  for (std::size_t i = 0; i < cases.size(); ++i) WorldMap[i].height = cases[i].first;
  terrain::ShapeHeights();
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(WorldMap[i].height, cases[i].second) << "from " << cases[i].first;
  }
}

TEST(DeriveTone, StretchesDifferenceToFullRange) {
  testsupport::ClearWorld();
  // height - tone: 0 everywhere but -100 at one cell and +300 at another.
  WorldMap[CellIndex(5, 5)].height = -100;
  WorldMap[CellIndex(6, 5)].height = 200;
  WorldMap[CellIndex(6, 5)].tone = -100;
  terrain::DeriveTone();
  EXPECT_EQ(ToneAt(5, 5), 0);
  EXPECT_EQ(ToneAt(6, 5), 16320);
  EXPECT_EQ(ToneAt(0, 0), 4080);  // 100 of 400
}

TEST(DeriveTone, DifferenceWraps) {
  testsupport::ClearWorld();
  WorldMap[0].height = 30000;
  WorldMap[0].tone = -10000;  // 40000 is stored as -25536, the lowest value
  terrain::DeriveTone();
  EXPECT_EQ(WorldMap[0].tone, 0);
  EXPECT_EQ(WorldMap[1].tone, 16320);
}

TEST(DeriveTone, EvenDifferenceGivesLowestTone) {
  testsupport::ClearWorld();
  for (auto& cell : WorldMap) {
    cell.height = 500;
    cell.tone = 20;
  }
  terrain::DeriveTone();
  for (const auto& cell : WorldMap) ASSERT_EQ(cell.tone, 0);
}

// What one pipeline call printed and which flags it left.
struct PipelineRun {
  std::vector<std::string> lines;
  engine::StageFlags flags;
};

PipelineRun Prepare() {
  testsupport::ConsoleCapture capture;
  terrain::PrepareLandscape();
  return {capture.Lines(), engine::Engine.flags};
}

const std::vector<std::string> kFirstRunLines = {
    "generating landscape done.",
    "shading landscape",
    "Generating surface bumpness map",
    "preparing clouds simulator 4 3 2 1 0 ,done",
    "",
    "Calculating lightness tables,done.",
    "generating textures...done.",
    "Colormap unspecified,using default colormap.",
};

TEST(PrepareLandscape, FirstRunMatchesStepwiseFiguresAndSetsEveryFlag) {
  FreshEngine();
  const PipelineRun run = Prepare();
  EXPECT_EQ(run.lines, kFirstRunLines);
  EXPECT_EQ(HeightAt(512, 512), 392);
  EXPECT_EQ(ToneAt(0, 0), 4385);
  EXPECT_TRUE(run.flags.landscapeready && run.flags.shadingready && run.flags.bumpready &&
              run.flags.cloudsready && run.flags.lightnessready && run.flags.texturesready &&
              run.flags.colormapready);
  EXPECT_FALSE(run.flags.fovset);

  // The clouds start where the landscape layers left the random source.
  const std::uint64_t clouds = CloudDigest();
  terrain::randstate = 2647902116u;
  for (FractalTarget layer : {FractalTarget::Cloud0, FractalTarget::Cloud1, FractalTarget::Cloud2,
                              FractalTarget::Cloud3}) {
    terrain::RunFractalLayer(layer);
  }
  EXPECT_EQ(CloudDigest(), clouds);

  // A frame in which nothing changed: exactly one empty line, nothing redone.
  const std::uint64_t before = Digest(WorldMap, sizeof WorldMap);
  const PipelineRun idle = Prepare();
  EXPECT_EQ(idle.lines, std::vector<std::string>{""});
  EXPECT_EQ(Digest(WorldMap, sizeof WorldMap), before);
  EXPECT_EQ(terrain::randstate, 0u);  // reseeded, nothing drawn
  for (float r : terrain::Roughness) EXPECT_EQ(r, 0.0f);
}

TEST(PrepareLandscape, SameSeedSameWorld) {
  FreshEngine();
  engine::Engine.setseed = -12345;
  Prepare();
  const std::uint64_t map = Digest(WorldMap, sizeof WorldMap);
  const std::uint64_t tex = Digest(terrain::TextureMap, sizeof terrain::TextureMap);
  const std::uint64_t colours = Digest(terrain::ColorMap, sizeof terrain::ColorMap);
  FreshEngine();
  engine::Engine.setseed = -12345;
  Prepare();
  EXPECT_EQ(Digest(WorldMap, sizeof WorldMap), map);
  EXPECT_EQ(Digest(terrain::TextureMap, sizeof terrain::TextureMap), tex);
  EXPECT_EQ(Digest(terrain::ColorMap, sizeof terrain::ColorMap), colours);
}

// Which stages a run performs for the flags it starts with, and the flags it
// leaves: the landscape stage forces the shadow and the bump map again.
TEST(PrepareLandscape, FlagTable) {
  struct Case {
    std::string what;
    engine::StageFlags before;
    std::vector<std::string> lines;
  };
  const engine::StageFlags all{true, true, true, true, true, true, true, true};
  auto without = [&](bool engine::StageFlags::*flag) {
    engine::StageFlags f = all;
    f.*flag = false;
    return f;
  };
  const std::vector<Case> cases = {
      {"new landscape redoes shadow and bump",
       without(&engine::StageFlags::landscapeready),
       {"generating landscape done.", "shading landscape", "Generating surface bumpness map", ""}},
      {"sun moved", [&] {
         engine::StageFlags f = without(&engine::StageFlags::shadingready);
         f.lightnessready = false;
         return f;
       }(),
       {"shading landscape", "", "Calculating lightness tables,done."}},
      {"heights imported",
       [&] {
         engine::StageFlags f = without(&engine::StageFlags::shadingready);
         f.bumpready = false;
         return f;
       }(),
       {"shading landscape", "Generating surface bumpness map", ""}},
      {"light colour changed", without(&engine::StageFlags::lightnessready),
       {"", "Calculating lightness tables,done."}},
      {"colour map missing", without(&engine::StageFlags::colormapready),
       {"", "Colormap unspecified,using default colormap."}},
      {"clouds only", without(&engine::StageFlags::cloudsready),
       {"preparing clouds simulator 4 3 2 1 0 ,done", ""}},
      {"textures only", without(&engine::StageFlags::texturesready), {"", "generating textures...done."}},
  };
  FreshEngine();
  Prepare();  // a finished world to start from
  for (const Case& c : cases) {
    engine::Engine.flags = c.before;
    const PipelineRun run = Prepare();
    EXPECT_EQ(run.lines, c.lines) << c.what;
    const engine::StageFlags& f = run.flags;
    EXPECT_TRUE(f.landscapeready && f.shadingready && f.bumpready && f.cloudsready && f.lightnessready &&
                f.texturesready && f.colormapready && f.fovset)
        << c.what;
  }
}

// Statements change inputs and clear flags only; the next run redoes the
// stages that depend on them.
TEST(PrepareLandscape, StatementsDecideWhatTheNextRunRedoes) {
  struct Case {
    std::string script;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"SUNPOS 1.5, 0.4;", {"shading landscape", "", "Calculating lightness tables,done."}},
      {"SUNLIGHTCOLOR 1, 1, 1;", {"", "Calculating lightness tables,done."}},
      {"ABOVELIGHTCOLOR 0.2, 0.2, 0.2;", {"", "Calculating lightness tables,done."}},
      {"REVERSELIGHTCOLOR 0.1, 0.1, 0.1;", {"", "Calculating lightness tables,done."}},
      {"SETSEED 77;", {""}},
      {"FOGCOLOR 1, 1, 1; FAR 100; TEXPARAM 5;", {""}},
  };
  FreshEngine();
  Prepare();
  for (const Case& c : cases) {
    testsupport::RunScriptText(c.script);
    EXPECT_EQ(Prepare().lines, c.lines) << c.script;
  }
  // Engine initialisation clears every flag: the whole world again.
  {
    testsupport::ConsoleCapture capture;
    engine::EngineInit();
  }
  EXPECT_EQ(Prepare().lines, kFirstRunLines);
}

// With the landscape stage skipped (a heightfield in place) the clouds start
// at the beginning of the random sequence, so they differ from the clouds of
// a generated world with the same seed.
TEST(PrepareLandscape, SkippedLandscapeShiftsTheClouds) {
  FreshEngine();
  Prepare();
  const std::uint64_t generated = CloudDigest();

  FreshEngine();
  engine::Engine.flags.landscapeready = true;
  const PipelineRun run = Prepare();
  EXPECT_EQ(run.lines.front(), "shading landscape");
  const std::uint64_t imported = CloudDigest();
  EXPECT_NE(imported, generated);

  // The imported world's first cloud layer is the one drawn from the seed.
  const std::int16_t c0 = WorldMap[CellIndex(100, 200)].cloud[0];
  terrain::randstate = 0;
  terrain::RunFractalLayer(FractalTarget::Cloud0);
  EXPECT_EQ(WorldMap[CellIndex(100, 200)].cloud[0], c0);
}

}  // namespace
