#include <gtest/gtest.h>

#include <cstdint>
#include <numbers>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "commands/setters.h"
#include "engine/renderer.h"
#include "engine/span.h"
#include "engine/state.h"
#include "support/transcript.h"
#include "terrain/worldmap.h"

namespace {

using engine::Engine;
using engine::ImageBuffer;
using engine::PixelAt;
using testsupport::ConsoleCapture;

constexpr std::uint32_t kGround = 0x0000FF00;

// A flat world at `height` height units under a clear sky: every shadow at
// the ground, cloud floors above their ceilings (no slab), one colour, full
// light for every slope.
void FlatWorld(std::int16_t height) {
  for (auto& cell : terrain::WorldMap) {
    cell = terrain::MapCell{};
    cell.height = height;
    cell.shadow = height;
    cell.cloud[0] = 2000;
    cell.cloud[2] = 2000;
  }
  for (auto& c : terrain::ColorMap) c = kGround;
  for (auto& e : terrain::SunLightTable) e = {1, 1, 1};
  Engine.flags = engine::StageFlags{true, true, true, true, true, false, true, true};
}

void Port(std::int32_t w, std::int32_t h) {
  ConsoleCapture quiet;
  engine::RenderPort(engine::kPortStandard, w, h);
}

std::vector<std::string> Frame() {
  ConsoleCapture capture;
  engine::RenderFrame();
  return capture.Lines();
}

std::vector<std::uint32_t> Pixels() {
  const auto* p = reinterpret_cast<const std::uint32_t*>(ImageBuffer.data);
  return {p, p + static_cast<std::size_t>(ImageBuffer.width) * ImageBuffer.height};
}

bool IsClearSky(std::int32_t x, std::int32_t r) {
  return PixelAt(x, r) == engine::SkyPixel(engine::SkyRows[static_cast<std::size_t>(r)], 0);
}

class RendererTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::ResetProgram();
    FlatWorld(0);
  }
};

TEST_F(RendererTest, CameraBelowGroundIsLiftedForTheFrameOnly) {
  FlatWorld(640);  // 10 cells
  commands::SetCamera(0.5f, 0.5f, 0, 0);
  Port(4, 4);
  Frame();
  EXPECT_EQ(Engine.rendercamera.z, 13 * 4096);
  EXPECT_EQ(Engine.camera.z, 0.0f);

  commands::SetCamera(0.5f, 0.5f, 20, 0);  // high enough: left alone
  Frame();
  EXPECT_EQ(Engine.rendercamera.z, 20 * 4096);
}

TEST_F(RendererTest, FlatWorldShowsGroundBelowTheHorizonAndSkyAbove) {
  commands::SetCamera(100.5f, 100.5f, 3, 0.3f);
  Port(16, 40);
  Frame();
  for (std::int32_t x = 0; x < 16; ++x) {
    // The eye 3 cells up sees the ground up to a few rows under the middle.
    for (std::int32_t r = 0; r < 16; ++r) EXPECT_EQ(PixelAt(x, r), kGround) << x << "," << r;
    for (std::int32_t r = 20; r < 40; ++r) EXPECT_TRUE(IsClearSky(x, r)) << x << "," << r;
  }
  // Sky brightest at the horizon, darker toward the top.
  EXPECT_GT(PixelAt(0, 20) & 0xFF, PixelAt(0, 39) & 0xFF);
}

TEST_F(RendererTest, FarZeroInsideACellGivesPureSkyWithoutFog) {
  // Cloud surfaces at 0 make a glowing slab from the ground up to 20 cells.
  for (auto& cell : terrain::WorldMap) cell.cloud[0] = cell.cloud[2] = 0;
  commands::SetCamera(3.5f, 7.25f, 3, 1.0f);
  commands::SetFar(0);
  Port(8, 10);
  Frame();
  for (std::int32_t x = 0; x < 8; ++x) {
    for (std::int32_t r = 0; r < 10; ++r) EXPECT_TRUE(IsClearSky(x, r)) << x << "," << r;
  }

  // The same slab seen over 256 cells fogs the picture.
  commands::SetFar(256);
  Frame();
  EXPECT_FALSE(IsClearSky(0, 9));
}

TEST_F(RendererTest, TerrainUpToTheTopLeavesNoSky) {
  // A wall 400 cells high across the view, 4 cells ahead.
  for (std::int32_t x = 0; x < terrain::kMapSize; ++x) {
    auto& cell = terrain::WorldMap[terrain::CellIndex(x, 104)];
    cell.height = cell.shadow = 400 * 64;
  }
  commands::SetCamera(100.5f, 100.5f, 3, 0);
  Port(6, 20);
  Frame();
  for (std::int32_t x = 0; x < 6; ++x) {
    for (std::int32_t r = 0; r < 20; ++r) EXPECT_EQ(PixelAt(x, r), kGround) << x << "," << r;
  }
}

TEST_F(RendererTest, DefaultFieldOfViewOnA500WidePort) {
  commands::SetCamera(100.5f, 100.5f, 3, 0);
  Port(500, 4);
  Frame();
  EXPECT_EQ(Engine.fovmode, 1);
  EXPECT_EQ(Engine.fovfactor, 0.5f);
  EXPECT_EQ(Engine.focal, 250);
  EXPECT_EQ(engine::SetupColumnRay(250).pixfocal, 250);
  EXPECT_EQ(engine::SetupColumnRay(0).pixfocal, 354);  // sqrt(250^2 + 250^2)
  EXPECT_EQ(engine::SetupColumnRay(499).pixfocal, 353);  // d = 249
}

TEST_F(RendererTest, RayAlongTheYAxisCrossesOnlyYLines) {
  commands::SetCamera(100.5f, 100.25f, 3, 0);
  Port(500, 4);
  Frame();
  engine::ColumnRay ray = engine::SetupColumnRay(250);
  EXPECT_EQ(ray.dx, 0);
  EXPECT_EQ(ray.dy, 4096);
  EXPECT_EQ(ray.xline.dist, engine::kTrackerOff);
  EXPECT_EQ(ray.yline.y, 101 * 4096);
  EXPECT_EQ(ray.yline.dist, 3072);
  for (int i = 0; i < 4000; ++i) {
    ASSERT_FALSE(engine::TakesXLine(ray)) << "crossing " << i;
    engine::AdvanceTracker(ray.yline, false);
  }
}

TEST_F(RendererTest, TiesTakeTheYLine) {
  // From a cell corner along the diagonal, every second crossing is a
  // corner that both families reach at the same distance.
  commands::SetCamera(512, 512, 3, -std::numbers::pi_v<float> / 4);
  Port(500, 4);
  Frame();
  engine::ColumnRay ray = engine::SetupColumnRay(250);
  ASSERT_EQ(ray.dx, ray.dy);
  std::string taken;
  for (int i = 0; i < 6; ++i) {
    const bool xline = engine::TakesXLine(ray);
    taken += xline ? 'x' : 'y';
    engine::AdvanceTracker(xline ? ray.xline : ray.yline, xline);
  }
  EXPECT_EQ(taken, "yxyxyx");
}

TEST_F(RendererTest, InterlacingDrawsEveryNthColumnAdvancingThePhase) {
  static std::vector<std::int32_t> drawn;
  engine::SetProgressCallback(
      [](std::int32_t first, std::int32_t last, void*) {
        EXPECT_EQ(last, first + 1);
        drawn.push_back(first);
      },
      nullptr);
  commands::SetCamera(100.5f, 100.5f, 3, 0);
  Port(9, 2);
  commands::SetInterlacing(3);
  const std::vector<std::vector<std::int32_t>> frames = {{1, 4, 7}, {2, 5, 8}, {0, 3, 6}, {1, 4, 7}};
  for (const auto& expected : frames) {
    drawn.clear();
    Frame();
    EXPECT_EQ(drawn, expected);
  }
  engine::SetProgressCallback(nullptr, nullptr);
}

TEST_F(RendererTest, TimingLineEvenWithMoreInterlacingThanPixels) {
  commands::SetCamera(100.5f, 100.5f, 3, 0);
  Port(4, 2);
  const std::regex timing(R"(Clocks per frame:\d+ per pixel:\d+)");
  std::vector<std::string> lines = Frame();
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(std::regex_match(lines.back(), timing)) << lines.back();

  commands::SetInterlacing(100);
  for (int i = 0; i < 3; ++i) {
    lines = Frame();
    EXPECT_TRUE(std::regex_match(lines.back(), timing)) << lines.back();
  }
}

TEST_F(RendererTest, CloudTimeAdvancesAfterEachFrame) {
  commands::SetFogt(2);
  commands::SetFogdt(0.5f);
  // No picture yet: only the fog pixel is rebuilt.
  commands::SetFogColor(1, 0.5f, 0);
  Frame();
  EXPECT_EQ(Engine.fogt, 2.0f);
  EXPECT_EQ(Engine.fogpixel, 0x00FF7F00u);  // green 32640 keeps its high byte

  Port(4, 4);
  Frame();
  EXPECT_EQ(Engine.fogt, 2.5f);
  EXPECT_EQ(Engine.cloudshift[0], -682);  // the frame used the time before
  EXPECT_EQ(Engine.cloudshift[1], 2048);

  commands::SetFogdt(0);
  Frame();
  Frame();
  EXPECT_EQ(Engine.fogt, 2.5f);
}

TEST_F(RendererTest, CloudsDriftWithTimeAndShadowedCloudGivesNoFog) {
  // Patchy clouds: a slab over every other block of 8 x 8 cells.
  for (std::int32_t y = 0; y < terrain::kMapSize; ++y) {
    for (std::int32_t x = 0; x < terrain::kMapSize; ++x) {
      auto& cell = terrain::WorldMap[terrain::CellIndex(x, y)];
      cell.cloud[0] = ((x / 8 + y / 8) % 2 == 0) ? 0 : 2000;
    }
  }
  commands::SetCamera(100.5f, 100.5f, 3, 0.7f);
  commands::SetFogdt(0);
  Port(32, 24);
  Frame();
  const std::vector<std::uint32_t> still = Pixels();
  Frame();
  EXPECT_EQ(Pixels(), still);  // frozen clouds: the same picture

  commands::SetFogt(30);
  Frame();
  EXPECT_NE(Pixels(), still);  // drifted

  // A shadow surface above every cloud: no lit air, no fog at all.
  for (auto& cell : terrain::WorldMap) cell.shadow = 6000;
  Frame();
  const std::vector<std::uint32_t> shadowed = Pixels();
  for (auto& cell : terrain::WorldMap) cell.cloud[0] = 2000;
  Frame();
  EXPECT_EQ(Pixels(), shadowed);
}

TEST_F(RendererTest, UnusualPortsAndDistancesStillDrawAPicture) {
  struct Case {
    std::int32_t w, h;
    std::int32_t far;
    float fov;  // 0: the default
  };
  const Case cases[] = {
      {1, 6, 256, 0},         // focal Round(0.5) = 0
      {5, 6, 256, 3.14159f},  // a field of view of almost a half turn
      {4, 6, 100000, 0},      // beyond the 4096-cell range of the walk
      {4, 6, -5, 0},
  };
  for (const Case& c : cases) {
    testsupport::ResetProgram();
    FlatWorld(0);
    commands::SetCamera(100.5f, 100.5f, 3, 0.2f);
    commands::SetFar(c.far);
    if (c.fov > 0) commands::SetFovH(c.fov);
    Port(c.w, c.h);
    Frame();
    EXPECT_GE(Engine.focal, 1);
    const bool ground = c.far > 0;
    EXPECT_EQ(PixelAt(0, 0) == kGround, ground) << c.w << " far " << c.far;
    EXPECT_TRUE(IsClearSky(c.w - 1, c.h - 1)) << c.w << " far " << c.far;
  }
}

}  // namespace
