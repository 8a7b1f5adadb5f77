#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "commands/setters.h"
#include "engine/camera.h"
#include "engine/state.h"
#include "support/transcript.h"
#include "terrain/worldmap.h"

namespace {

using engine::Engine;
using engine::EngineKey;
using engine::GroundHeight;
using testsupport::ConsoleCapture;

constexpr std::int32_t kHome = 0x47;
constexpr std::int32_t kUp = 0x48;
constexpr std::int32_t kPageUp = 0x49;

void SetHeight(std::int32_t x, std::int32_t y, std::int16_t h) {
  terrain::WorldMap[terrain::CellIndex(x, y)].height = h;
}

void Fill(std::int16_t h) {
  for (auto& cell : terrain::WorldMap) cell.height = h;
}

class CameraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::ResetProgram();
    testsupport::ClearWorld();
  }
};

TEST_F(CameraTest, GroundHeightInterpolatesAndWraps) {
  SetHeight(5, 7, 320);
  SetHeight(10, 3, 64);
  SetHeight(1023, 20, 128);
  SetHeight(0, 20, 0);
  SetHeight(40, 41, 64);
  struct Case {
    float x, y, cells;
  };
  const Case cases[] = {
      {5, 7, 5.0f},          // a cell corner is the cell's height
      {9.5f, 3, 0.5f},       // halfway between heights 0 and 64 along x
      {10, 2.5f, 0.5f},      // and along y
      {1023.5f, 20, 1.0f},   // between the last cell of the row and cell 0
      {-0.5f, 20, 1.0f},     // the same place from the other side
      {39.5f, 40.5f, 0.25f}, // the middle of four cells, one of them 1 cell high
      {5 + 1024, 7 - 2048, 5.0f},
  };
  for (const Case& c : cases) {
    EXPECT_FLOAT_EQ(GroundHeight(c.x, c.y), c.cells) << c.x << ", " << c.y;
  }
}

TEST_F(CameraTest, EyeStaysThreeCellsAboveGround) {
  Fill(640);  // 10 cells
  Engine.camera = {2, 2, 11, 0};
  engine::KeepAboveGround();
  EXPECT_EQ(Engine.camera.z, 13.0f);
  EXPECT_TRUE(Engine.followground);
  EXPECT_EQ(Engine.rendercamera.z, 13 * 4096);

  Engine.camera.z = 20;
  Engine.followground = false;
  engine::KeepAboveGround();
  EXPECT_EQ(Engine.camera.z, 20.0f);
  EXPECT_FALSE(Engine.followground);
}

TEST_F(CameraTest, HomeAndPageUpWithAndWithoutFollowingTheGround) {
  ConsoleCapture quiet;
  Engine.camera = {0, 0, 5, 0};

  // Without followground: down one cell per key until the eye would sink
  // below 3 cells, then it stays at 3 and follows the ground.
  EngineKey(0, kHome);
  EXPECT_EQ(Engine.camera.z, 4.0f);
  EngineKey(0, kHome);
  EXPECT_EQ(Engine.camera.z, 3.0f);
  EXPECT_FALSE(Engine.followground);
  EngineKey(0, kHome);
  EXPECT_EQ(Engine.camera.z, 3.0f);
  EXPECT_TRUE(Engine.followground);

  // Following: Home has no lasting effect.
  EngineKey(0, kHome);
  EXPECT_EQ(Engine.camera.z, 3.0f);

  // Page Up leaves the ground: 4 cells, and it stays there.
  EngineKey(0, kPageUp);
  EXPECT_EQ(Engine.camera.z, 4.0f);
  EXPECT_FALSE(Engine.followground);
  EngineKey(0, kUp);
  EXPECT_EQ(Engine.camera.z, 4.0f);
}

TEST_F(CameraTest, MovementKeysFollowTheHeading) {
  ConsoleCapture quiet;
  Engine.camera = {100, 100, 50, 0};  // heading 0: forward is +y, right is +x
  struct Case {
    std::int32_t code;
    float dx, dy, dangle;
  };
  const Case cases[] = {
      {0x48, 0, 0.8f, 0},   // Up: forward
      {0x50, 0, -0.8f, 0},  // Down: back
      {0x4F, -0.8f, 0, 0},  // End: step left
      {0x51, 0.8f, 0, 0},   // Page Down: step right
      {0x4B, 0, 0, 0.0872664626f},
      {0x4D, 0, 0, -0.0872664626f},
  };
  for (const Case& c : cases) {
    Engine.camera = {100, 100, 50, 0};
    EngineKey(0, c.code);
    EXPECT_NEAR(Engine.camera.x, 100 + c.dx, 1e-5) << c.code;
    EXPECT_NEAR(Engine.camera.y, 100 + c.dy, 1e-5) << c.code;
    EXPECT_FLOAT_EQ(Engine.camera.angle, c.dangle) << c.code;
    EXPECT_EQ(Engine.camera.z, 50.0f);
  }
}

TEST_F(CameraTest, KeysResetTexParamToTheTextureLevel) {
  ConsoleCapture quiet;
  Engine.camera = {0, 0, 50, 0};
  commands::SetTexParam(5);
  EngineKey(0, kUp);
  EXPECT_EQ(Engine.texparam, 10);

  for (int i = 0; i < 12; ++i) EngineKey('T', 0);
  EXPECT_EQ(Engine.texlevel, 0);
  EXPECT_EQ(Engine.texparam, 0);
  EngineKey('t', 0);
  EngineKey('x', 0);  // any character: no action of its own, but the texture level applies
  EXPECT_EQ(Engine.texlevel, 1);
  EXPECT_EQ(Engine.texparam, 1);
  for (int i = 0; i < 12; ++i) EngineKey('t', 0);
  EXPECT_EQ(Engine.texlevel, 10);
}

TEST_F(CameraTest, FunctionKeysAndInsertChangeNothing) {
  ConsoleCapture capture;
  Fill(640);
  Engine.camera = {7, 8, 1, 0.5f};  // below the ground
  commands::SetTexParam(5);
  const engine::RenderCamera before = Engine.rendercamera;
  for (std::int32_t code : {0x3B, 0x40, 0x44, 0x85, 0x86, 0x52}) {
    EngineKey(0, code);
    EXPECT_EQ(Engine.camera.z, 1.0f) << code;
    EXPECT_EQ(Engine.texparam, 5) << code;
    EXPECT_FALSE(Engine.followground) << code;
    EXPECT_EQ(Engine.rendercamera.x, before.x) << code;
  }
  EXPECT_EQ(capture.Text(), "");
}

TEST_F(CameraTest, NewWorldKeyKeepsTheColourMap) {
  ConsoleCapture capture;
  Engine.camera = {0, 0, 50, 0};
  Engine.flags = engine::StageFlags{true, true, true, true, true, true, true, true};
  EngineKey('r', 0);
  const engine::StageFlags f = Engine.flags;
  EXPECT_FALSE(f.landscapeready || f.shadingready || f.bumpready || f.cloudsready ||
               f.lightnessready || f.fovset || f.texturesready);
  EXPECT_TRUE(f.colormapready);
  EXPECT_EQ(capture.Lines().at(0), "sk.setseed " + std::to_string(Engine.setseed) + " called");
}

TEST_F(CameraTest, MouseSteering) {
  const float pi = 3.14159265f;
  struct Case {
    float mx, my;
    std::int32_t buttons;
    float x, y, z, angle;
    bool followground;
  };
  // From (100, 100, 50), heading 0, steerspeed 1, not following.
  const Case cases[] = {
      {0.5f, 1.0f, 1, 100, 110, 50, -pi / 12, false},  // forward, turning right
      {0, -0.5f, 1, 100, 95, 50, 0, false},            // back
      {-0.5f, 0.5f, 2, 95, 100, 55, 0, false},         // left and up
      {0.5f, -0.2f, 4, 105, 100, 48, 0, false},        // right and down
      {1, 1, 3, 100, 100, 50, 0, false},               // two buttons: no move
      {1, 1, 0, 100, 100, 50, 0, false},
      {0, -1, 2, 100, 100, 40, 0, false},
  };
  for (const Case& c : cases) {
    Engine.camera = {100, 100, 50, 0};
    Engine.followground = false;
    engine::MouseSteer(c.mx, c.my, c.buttons);
    EXPECT_NEAR(Engine.camera.x, c.x, 1e-4) << c.buttons << " " << c.mx;
    EXPECT_NEAR(Engine.camera.y, c.y, 1e-4) << c.buttons << " " << c.mx;
    EXPECT_NEAR(Engine.camera.z, c.z, 1e-4) << c.buttons << " " << c.mx;
    EXPECT_NEAR(Engine.camera.angle, c.angle, 1e-6) << c.buttons << " " << c.mx;
    EXPECT_EQ(Engine.followground, c.followground);
  }

  // Two buttons held still keep the eye above the ground; sliding down
  // through it stops at 3 cells.
  Fill(640);
  Engine.camera = {0, 0, 1, 0};
  engine::MouseSteer(0, 0, 3);
  EXPECT_EQ(Engine.camera.z, 13.0f);
  engine::MouseSteer(0, -1, 2);
  EXPECT_EQ(Engine.camera.z, 13.0f);
  EXPECT_TRUE(Engine.followground);
}

}  // namespace
