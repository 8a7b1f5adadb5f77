#include <gtest/gtest.h>

#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "engine/state.h"
#include "support/transcript.h"
#include "terrain/worldmap.h"

namespace {

using engine::Engine;
using engine::ImageBuffer;
using testsupport::ConsoleCapture;

const std::vector<std::string> kInitLines = {"sk.init called", "memory freed", "fillbyte",
                                             "sk.init done"};

class EngineStateTest : public ::testing::Test {
 protected:
  void SetUp() override { testsupport::ResetProgram(); }
};

bool AllFlagsClear() {
  const auto& f = Engine.flags;
  return !f.landscapeready && !f.shadingready && !f.bumpready && !f.cloudsready &&
         !f.lightnessready && !f.fovset && !f.texturesready && !f.colormapready;
}

void SetAllFlags() {
  Engine.flags = engine::StageFlags{true, true, true, true, true, true, true, true};
}

bool ImageBufferEmpty() {
  return ImageBuffer.colstride == 0 && ImageBuffer.rowstride == 0 && ImageBuffer.width == 0 &&
         ImageBuffer.height == 0 && ImageBuffer.data == nullptr && ImageBuffer.sampletype == 0;
}

TEST_F(EngineStateTest, StartupPrintsInitLinesAndSetsEveryDefault) {
  ConsoleCapture capture;
  engine::EngineStartup();
  engine::SteeringDefaults();
  EXPECT_EQ(capture.Lines(), kInitLines);

  // A fresh engine looks from cell (512, 512) along -pi/4, 256 cells far.
  EXPECT_EQ(Engine.rendercamera.x, 2097152);
  EXPECT_EQ(Engine.rendercamera.y, 2097152);
  EXPECT_EQ(Engine.rendercamera.z, 0);
  EXPECT_FLOAT_EQ(Engine.renderangle, -std::numbers::pi_v<float> / 4);
  EXPECT_EQ(Engine.far, 256.0f);
  EXPECT_EQ(Engine.camera.x, 0.0f);
  EXPECT_EQ(Engine.camera.angle, 0.0f);

  EXPECT_EQ(Engine.fogt, 0.0f);
  EXPECT_EQ(Engine.fogdt, 1.0f);
  EXPECT_EQ(Engine.setseed, 0);
  EXPECT_EQ(Engine.fogcolor.r, 0.78431374f);
  EXPECT_EQ(Engine.fogcolor.g, 0.78431374f);
  EXPECT_EQ(Engine.fogcolor.b, 0.78431374f);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(Engine.fogcolor16[c], 51200);
  EXPECT_EQ(Engine.sunlightcolor.r, 0.9f);
  EXPECT_EQ(Engine.sunlightcolor.g, 0.85f);
  EXPECT_EQ(Engine.sunlightcolor.b, 0.8f);
  EXPECT_EQ(Engine.abovelightcolor.r, 0.1f);
  EXPECT_EQ(Engine.abovelightcolor.g, 0.12f);
  EXPECT_EQ(Engine.abovelightcolor.b, 0.14f);
  EXPECT_EQ(Engine.reverselightcolor.r, 0.14f);
  EXPECT_EQ(Engine.reverselightcolor.g, 0.12f);
  EXPECT_EQ(Engine.reverselightcolor.b, 0.1f);
  EXPECT_FLOAT_EQ(Engine.sunfirst, std::numbers::pi_v<float> / 2);
  EXPECT_EQ(Engine.sunelevation, 0.252f);
  EXPECT_EQ(Engine.cloudspeed[0], -341);
  EXPECT_EQ(Engine.cloudspeed[1], 1024);
  EXPECT_EQ(Engine.interlacing, 1);
  EXPECT_EQ(Engine.interlacephase, 0);
  EXPECT_EQ(Engine.texparam, 10);
  EXPECT_EQ(Engine.fovmode, 0);
  EXPECT_EQ(Engine.fovfactor, 0.0f);
  EXPECT_EQ(Engine.heightscale, 1.0f / 64.0f);
  EXPECT_FALSE(Engine.followground);
  EXPECT_EQ(Engine.steerspeed, 1.0f);
  EXPECT_EQ(Engine.texlevel, 10);
  EXPECT_EQ(Engine.progresscallback, nullptr);
  EXPECT_TRUE(AllFlagsClear());
  EXPECT_TRUE(ImageBufferEmpty());
  EXPECT_TRUE(engine::LightBuffer.empty());
  EXPECT_TRUE(engine::SkyRows.empty());
}

TEST_F(EngineStateTest, WorldMapDescriptorCoversTheHeightFields) {
  const terrain::RasterDesc& d = terrain::WorldMapDesc;
  EXPECT_EQ(d.colstride, 16);
  EXPECT_EQ(d.rowstride, 16384);
  EXPECT_EQ(d.width, 1024);
  EXPECT_EQ(d.height, 1024);
  EXPECT_EQ(d.sampletype, terrain::kInt16);
  EXPECT_EQ(d.data, reinterpret_cast<std::uint8_t*>(&terrain::WorldMap[0].height));
  // Sample (3, 2) of the descriptor is the height of cell (3, 2).
  EXPECT_EQ(d.data + 2 * d.rowstride + 3 * d.colstride,
            reinterpret_cast<std::uint8_t*>(&terrain::WorldMap[terrain::CellIndex(3, 2)].height));
}

TEST_F(EngineStateTest, EngineInitResetsSceneButKeepsAnimationSeedAndSteering) {
  ConsoleCapture capture;
  engine::RenderPort(0, 320, 200);
  Engine.fogt = 12.5f;
  Engine.fogdt = -0.25f;
  Engine.setseed = 42;
  Engine.fovmode = 2;
  Engine.fovfactor = 0.75f;
  Engine.interlacephase = 3;
  Engine.followground = true;
  Engine.steerspeed = 3;
  Engine.texlevel = 4;
  Engine.far = 99;
  Engine.texparam = 2;
  Engine.interlacing = 7;
  Engine.fogcolor16[1] = 5;
  Engine.camera = engine::Camera{7, 8, 9, 0.5f};
  terrain::randstate = 1234;
  SetAllFlags();
  capture.Clear();

  engine::EngineInit();
  EXPECT_EQ(capture.Lines(), kInitLines);
  EXPECT_TRUE(ImageBufferEmpty());
  EXPECT_TRUE(engine::LightBuffer.empty());
  EXPECT_TRUE(engine::SkyRows.empty());
  EXPECT_TRUE(AllFlagsClear());

  EXPECT_EQ(Engine.fogt, 12.5f);
  EXPECT_EQ(Engine.fogdt, -0.25f);
  EXPECT_EQ(Engine.setseed, 42);
  EXPECT_EQ(Engine.fovmode, 2);
  EXPECT_EQ(Engine.fovfactor, 0.75f);
  EXPECT_EQ(Engine.interlacephase, 3);
  EXPECT_TRUE(Engine.followground);
  EXPECT_EQ(Engine.steerspeed, 3.0f);
  EXPECT_EQ(Engine.texlevel, 4);
  // The script camera survives; the first camera action copies it into the
  // render camera, which returns to its default view here.
  EXPECT_EQ(Engine.camera.x, 7.0f);
  EXPECT_EQ(Engine.camera.angle, 0.5f);
  EXPECT_EQ(Engine.rendercamera.x, 2097152);

  EXPECT_EQ(Engine.far, 256.0f);
  EXPECT_EQ(Engine.texparam, 10);
  EXPECT_EQ(Engine.interlacing, 1);
  EXPECT_EQ(Engine.fogcolor16[1], 51200);
  EXPECT_EQ(terrain::randstate, 0u);
}

TEST_F(EngineStateTest, EngineInitLeavesTheWorldMapAlone) {
  terrain::WorldMap[terrain::CellIndex(5, 6)].height = 777;
  ConsoleCapture capture;
  engine::EngineInit();
  EXPECT_EQ(terrain::WorldMap[terrain::CellIndex(5, 6)].height, 777);
}

// Interlacing is limited to the port width first, whatever happens next.
TEST_F(EngineStateTest, RenderPortLimitsInterlacingToTheWidth) {
  struct Case {
    std::int32_t width, height, interlacing_before, interlacing_after;
  };
  const Case cases[] = {
      {1, 50, 1, 1},   // width - 1 would be 0: stays at least 1
      {3, 50, 4, 2},   // width - 1
      {3, 50, 3, 2},   // equal to the width counts too
      {3, 50, 2, 2},   // below the width: untouched
      {0, 100, 5, 1},  // no port, but the limit still applies
      {-4, 10, 2, 1},
  };
  for (const Case& c : cases) {
    ConsoleCapture capture;
    Engine.interlacing = c.interlacing_before;
    engine::RenderPort(0, c.width, c.height);
    EXPECT_EQ(Engine.interlacing, c.interlacing_after) << c.width << " x " << c.height;
  }
}

TEST_F(EngineStateTest, RenderPortAllocatesBlackColumnMajorPicture) {
  ConsoleCapture capture;
  engine::RenderPort(0, 320, 200);
  EXPECT_EQ(capture.Lines(), (std::vector<std::string>{"sk.renderport w=320 h=200 called",
                                                       "allocating image buffer",
                                                       "allocating light buffer"}));
  ASSERT_NE(ImageBuffer.data, nullptr);
  EXPECT_EQ(ImageBuffer.colstride, 800);
  engine::PixelAt(319, 199) = 0x123456;
  engine::LightBuffer[0] = 9;

  engine::RenderPort(0, 640, 480);
  EXPECT_EQ(ImageBuffer.width, 640);
  EXPECT_EQ(ImageBuffer.height, 480);
  EXPECT_EQ(ImageBuffer.colstride, 1920);
  EXPECT_EQ(ImageBuffer.rowstride, 4);
  EXPECT_EQ(ImageBuffer.sampletype, 5);
  EXPECT_EQ(engine::LightBuffer.size(), 480u);
  EXPECT_EQ(engine::SkyRows.size(), 480u);
  EXPECT_EQ(engine::LightBuffer[0], 0);
  for (std::int32_t x = 0; x < 640; ++x)
    for (std::int32_t y = 0; y < 480; ++y) ASSERT_EQ(engine::PixelAt(x, y), 0u) << x << "," << y;
  // Column by column: the next column starts right after the last row.
  EXPECT_EQ(&engine::PixelAt(1, 0), &engine::PixelAt(0, 479) + 1);
}

// Requests that allocate nothing print the trace line (and, where the port is
// refused, one reason) and keep the buffers in use.
TEST_F(EngineStateTest, RefusedPortsKeepThePreviousBuffers) {
  struct Case {
    std::int32_t kind, width, height;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {0, 0, 100, {"sk.renderport w=0 h=100 called"}},
      {0, 100, -5, {"sk.renderport w=100 h=-5 called"}},
      {0,
       100000,
       100000,
       {"sk.renderport w=100000 h=100000 called",
        "picture of 100000 x 100000 pixels is too large (at most 33554432 pixels, 32768 per "
        "side),port unchanged"}},
      {0,
       32769,
       1,
       {"sk.renderport w=32769 h=1 called",
        "picture of 32769 x 1 pixels is too large (at most 33554432 pixels, 32768 per "
        "side),port unchanged"}},
      {0,
       8193,
       4096,
       {"sk.renderport w=8193 h=4096 called",
        "picture of 8193 x 4096 pixels is too large (at most 33554432 pixels, 32768 per "
        "side),port unchanged"}},
      {1,
       640,
       480,
       {"sk.renderport w=640 h=480 called", "bicone projection is not available,port unchanged"}},
      {7, 640, 480, {"sk.renderport w=640 h=480 called"}},
  };
  ConsoleCapture capture;
  engine::RenderPort(0, 32, 20);
  const std::uint8_t* data = ImageBuffer.data;
  for (const Case& c : cases) {
    capture.Clear();
    engine::RenderPort(c.kind, c.width, c.height);
    EXPECT_EQ(capture.Lines(), c.lines);
    EXPECT_EQ(ImageBuffer.data, data);
    EXPECT_EQ(ImageBuffer.width, 32);
    EXPECT_EQ(ImageBuffer.height, 20);
    EXPECT_EQ(engine::LightBuffer.size(), 20u);
    EXPECT_EQ(engine::SkyRows.size(), 20u);
  }
}

TEST_F(EngineStateTest, LargestSideIsAccepted) {
  ConsoleCapture capture;
  engine::RenderPort(0, 32768, 2);
  EXPECT_EQ(ImageBuffer.width, 32768);
  EXPECT_EQ(ImageBuffer.colstride, 8);
}

struct ProgressLog {
  std::vector<std::pair<std::int32_t, std::int32_t>> calls;
};

void RecordProgress(std::int32_t first, std::int32_t last, void* data) {
  static_cast<ProgressLog*>(data)->calls.emplace_back(first, last);
}

TEST_F(EngineStateTest, ProgressGoesToTheRegisteredCallbackOnly) {
  engine::NotifyProgress(0, 1);  // nobody registered: nothing happens
  ProgressLog log;
  engine::SetProgressCallback(RecordProgress, &log);
  engine::NotifyProgress(4, 5);
  engine::NotifyProgress(0, 320);
  EXPECT_EQ(log.calls, (std::vector<std::pair<std::int32_t, std::int32_t>>{{4, 5}, {0, 320}}));
  engine::SetProgressCallback(nullptr, nullptr);
  engine::NotifyProgress(1, 2);
  EXPECT_EQ(log.calls.size(), 2u);
}

TEST_F(EngineStateTest, InvalidateLandscapeClearsEveryFlagIncludingFieldOfView) {
  SetAllFlags();
  engine::InvalidateLandscape();
  EXPECT_TRUE(AllFlagsClear());
}

}  // namespace
