// The viewer's handlers without a display: the window system is replaced by
// a recorder, the engine is the real one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "engine/state.h"
#include "shell/runtime.h"
#include "shell/viewer.h"
#include "support/transcript.h"

namespace {

using shell::Viewer;
using testsupport::ConsoleCapture;

struct WindowLog {
  std::vector<std::pair<int, int>> projections;
  std::vector<std::pair<int, int>> draws;
  std::vector<bool> idle;
  int redisplays = 0;
} window_log;

void LogProjection(std::int32_t w, std::int32_t h) { window_log.projections.emplace_back(w, h); }
void LogDraw(std::int32_t w, std::int32_t h, const std::uint32_t*) { window_log.draws.emplace_back(w, h); }
void LogIdle(bool on) { window_log.idle.push_back(on); }
void LogRedisplay() { ++window_log.redisplays; }

class ViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::ResetProgram();
    shell::ResetViewer();
    window_log = WindowLog{};
    shell::SetWindowOps({LogProjection, LogDraw, LogIdle, LogRedisplay});
  }
  void TearDown() override { engine::EngineInit(); }

  // A screen of w x h pixels all set to `fill`, without the engine.
  static void MakeScreen(int w, int h, std::uint32_t fill) {
    Viewer.Screen.assign(static_cast<std::size_t>(w) * h, fill);
    Viewer.ScreenW = w;
    Viewer.ScreenH = h;
  }
  static std::uint32_t ScreenAt(int x, int y) { return Viewer.Screen[y * Viewer.ScreenW + x]; }
};

// A hand-made picture: pixel (x, y) = 0x00RRGGBB with R = 0x10 + x, G = y mod 256,
// B = 0x80, column by column, row 0 at the bottom.
struct Picture {
  std::vector<std::uint32_t> pixels;
  Picture(int w, int h) : pixels(static_cast<std::size_t>(w) * h) {
    for (int x = 0; x < w; ++x)
      for (int y = 0; y < h; ++y) pixels[x * h + y] = (0x10u + x) << 16 | (y & 0xFF) << 8 | 0x80u;
    engine::ImageBuffer = {h * 4, 4, w, h, reinterpret_cast<std::uint8_t*>(pixels.data()), 5};
  }
  ~Picture() { engine::ImageBuffer = {}; }
};

// The screen value of the picture pixel (x, y): bytes R, G, B, 0 in memory.
std::uint32_t Swapped(int x, int y) { return 0x80u << 16 | (y & 0xFF) << 8 | (0x10u + x); }

TEST_F(ViewerTest, ProgressColumnAlignsBottomRows) {
  const struct {
    int pic_w, pic_h, screen_w, screen_h;
  } cases[] = {
      {3, 300, 3, 500},  // shorter picture: its bottom row on window row 299
      {3, 6, 3, 4},      // taller picture: loses its top two rows
      {3, 5, 3, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.pic_h) + " rows into " + std::to_string(c.screen_h));
    Picture picture(c.pic_w, c.pic_h);
    MakeScreen(c.screen_w, c.screen_h, shell::kWhitePixel);
    shell::ProgressColumn(1, 2, nullptr);
    const int rows = std::min(c.pic_h, c.screen_h);
    for (int r = 0; r < rows; ++r) EXPECT_EQ(ScreenAt(1, rows - 1 - r), Swapped(1, r)) << r;
    for (int y = rows; y < c.screen_h; ++y) EXPECT_EQ(ScreenAt(1, y), shell::kWhitePixel);
    for (int y = 0; y < c.screen_h; ++y) {
      EXPECT_EQ(ScreenAt(0, y), shell::kWhitePixel);
      EXPECT_EQ(ScreenAt(2, y), shell::kWhitePixel);
    }
  }
}

TEST_F(ViewerTest, ProgressColumnIgnoresColumnsOutsideEitherBuffer) {
  Picture picture(2, 4);
  MakeScreen(3, 4, shell::kWhitePixel);
  for (int first : {-1, 2, 3, 1 << 30}) shell::ProgressColumn(first, first + 1, nullptr);
  for (std::uint32_t p : Viewer.Screen) EXPECT_EQ(p, shell::kWhitePixel);
  shell::ResetViewer();
  shell::ProgressColumn(0, 1, nullptr);  // no screen yet
  EXPECT_TRUE(Viewer.Screen.empty());
}

TEST_F(ViewerTest, ReshapeGivesWhiteScreenAndPortOfWindowSize) {
  ConsoleCapture console;
  shell::Reshape(640, 480);
  EXPECT_EQ(window_log.projections, (std::vector<std::pair<int, int>>{{640, 480}}));
  EXPECT_EQ(Viewer.ScreenW, 640);
  EXPECT_EQ(Viewer.ScreenH, 480);
  ASSERT_EQ(Viewer.Screen.size(), 640u * 480u);
  for (std::uint32_t p : Viewer.Screen) ASSERT_EQ(p, shell::kWhitePixel);
  EXPECT_EQ(engine::ImageBuffer.width, 640);
  EXPECT_EQ(engine::ImageBuffer.height, 480);
  EXPECT_FALSE(Viewer.Busy);
}

// A window without pixels has no screen: frames only report it, and drawing
// resumes with the next reshape that gives the window pixels.
TEST_F(ViewerTest, WindowWithoutPixels) {
  ConsoleCapture console;
  shell::Reshape(8, 6);
  for (auto [w, h] : {std::pair{0, 100}, std::pair{100, 0}, std::pair{-5, -5}}) {
    shell::Reshape(w, h);
    EXPECT_TRUE(Viewer.Screen.empty());
    EXPECT_EQ(engine::ImageBuffer.width, 8);  // the engine keeps its picture
    console.Clear();
    shell::Display();
    shell::ProgressColumn(0, 1, nullptr);
    EXPECT_EQ(console.Lines(), std::vector<std::string>{"unassigned screen."});
    EXPECT_TRUE(window_log.draws.empty());
  }
  shell::Reshape(4, 2);
  EXPECT_EQ(Viewer.Screen, std::vector<std::uint32_t>(8, shell::kWhitePixel));
}

TEST_F(ViewerTest, CrosshairAroundTheCentre) {
  MakeScreen(6, 4, 0);
  shell::DrawCrosshair();
  std::vector<std::pair<int, int>> white;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x)
      if (ScreenAt(x, y) == shell::kWhitePixel) white.emplace_back(x, y);
  EXPECT_EQ(white, (std::vector<std::pair<int, int>>{{3, 1}, {2, 2}, {4, 2}, {3, 3}}));
  MakeScreen(1, 1, 0);  // every crosshair pixel lies outside
  shell::DrawCrosshair();
  EXPECT_EQ(ScreenAt(0, 0), 0u);
}

// With the button held, each frame steers from the pointer before it is
// drawn and shows the crosshair; the centre of an even window steers with
// (0, 0), the top-left corner with (-1, +1).
TEST_F(ViewerTest, DisplaySteersWhileAButtonIsHeld) {
  ConsoleCapture console;
  MakeScreen(8, 6, 0);  // no engine picture: the frame itself draws nothing
  shell::Mouse(0, 0, 4, 3);
  shell::Display();
  EXPECT_EQ(engine::Engine.camera.x, 0.0f);
  EXPECT_EQ(engine::Engine.camera.y, 0.0f);
  EXPECT_EQ(engine::Engine.camera.angle, 0.0f);
  EXPECT_EQ(engine::Engine.rendercamera.x, 0);  // steering took over the camera
  EXPECT_EQ(ScreenAt(4, 2), shell::kWhitePixel);
  EXPECT_EQ(ScreenAt(4, 3), 0u);
  EXPECT_EQ(console.Lines(), std::vector<std::string>{"redrawing..."});
  EXPECT_EQ(window_log.draws, (std::vector<std::pair<int, int>>{{8, 6}}));

  shell::Motion(0, 0);
  shell::Display();
  EXPECT_FLOAT_EQ(engine::Engine.camera.y, 10.0f);
  EXPECT_NEAR(engine::Engine.camera.angle, M_PI / 6, 1e-6);

  shell::Mouse(0, 1, 0, 0);
  MakeScreen(8, 6, 0);
  const engine::Camera before = engine::Engine.camera;
  shell::Display();
  EXPECT_EQ(engine::Engine.camera.y, before.y);
  EXPECT_EQ(ScreenAt(4, 2), 0u);
}

TEST_F(ViewerTest, MouseButtonsAndPointer) {
  const struct {
    int button, state, x, y;
    std::uint32_t buttons;
  } steps[] = {
      {0, 0, 10, 20, 1},  // left down
      {2, 0, 11, 21, 3},  // right down too
      {0, 1, 12, 22, 2},  // left up: right stays
      {1, 0, 13, 23, 6},  // middle down
      {3, 0, 14, 24, 6},  // a wheel button changes no bit
      {2, 5, 15, 25, 6},  // an unknown state changes no bit
      {2, 1, 16, 26, 4},
      {1, 1, 17, 27, 0},
  };
  for (const auto& s : steps) {
    shell::Mouse(s.button, s.state, s.x, s.y);
    EXPECT_EQ(Viewer.Buttons, s.buttons);
    EXPECT_EQ(Viewer.MouseX, s.x);
    EXPECT_EQ(Viewer.MouseY, s.y);
  }
  shell::Motion(-3, 700);
  EXPECT_EQ(Viewer.MouseX, -3);
  EXPECT_EQ(Viewer.MouseY, 700);
}

TEST_F(ViewerTest, SpecialKeysToScanCodes) {
  const struct {
    int glut;
    std::int32_t scan;
  } keys[] = {{1, 0x3B}, {10, 0x44}, {11, 0x85}, {12, 0x86}, {100, 0x4B}, {101, 0x48},
              {102, 0x4D}, {103, 0x50}, {104, 0x49}, {105, 0x51}, {106, 0x47}, {107, 0x4F},
              {108, 0x52}, {0, 0}, {13, 0}, {99, 0}, {109, 0}, {112, 0}};
  for (const auto& k : keys) EXPECT_EQ(shell::SpecialScanCode(k.glut), k.scan) << k.glut;
}

// A key that reaches the engine also resets the texture level.
TEST_F(ViewerTest, KeysReachTheEngine) {
  ConsoleCapture console("#eof\n");
  engine::Engine.texparam = 3;
  shell::Special(109, 0, 0);  // no scan code: the engine never hears of it
  EXPECT_EQ(engine::Engine.texparam, 3);
  EXPECT_FALSE(Viewer.Busy);
  shell::Special(101, 0, 0);  // Up moves forward
  EXPECT_EQ(engine::Engine.texparam, 10);
  EXPECT_NE(engine::Engine.camera.y, 0.0f);

  engine::Engine.texparam = 3;
  shell::Keyboard(13, 0, 0);  // Enter: the console prompt, then the engine
  const std::vector<std::string> lines = console.Lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "Enter \"#eof\" to close input");
  EXPECT_EQ(lines[lines.size() - 2], "Statistics:");
  EXPECT_EQ(engine::Engine.texparam, 10);
  EXPECT_FALSE(Viewer.Busy);
}

TEST_F(ViewerTest, EscHaltsWithStatusZero) {
  ConsoleCapture console;
  engine::Engine.texparam = 3;
  try {
    shell::Keyboard(27, 0, 0);
    FAIL() << "Esc must end the program";
  } catch (const shell::ProgramExit& exit) {
    EXPECT_EQ(exit.status, 0);
  }
  EXPECT_EQ(engine::Engine.texparam, 3);
}

TEST_F(ViewerTest, VisibilityInstallsAndRemovesIdle) {
  shell::Visibility(1);
  shell::Visibility(0);
  EXPECT_EQ(window_log.idle, (std::vector<bool>{true, false}));
  shell::Idle();
  EXPECT_EQ(window_log.redisplays, 1);
}

// A guarded handler entered while another runs: the notice, one line of
// input consumed, the event lost. Motion is not guarded.
TEST_F(ViewerTest, BusyGuardDropsTheEvent) {
  ConsoleCapture console("first\nsecond\nthird\nrest\n");
  MakeScreen(4, 4, 0);
  Viewer.Busy = true;
  shell::Mouse(0, 0, 7, 9);
  shell::Reshape(10, 10);
  shell::Idle();
  EXPECT_EQ(Viewer.Buttons, 0u);
  EXPECT_EQ(Viewer.MouseX, 0);
  EXPECT_EQ(Viewer.ScreenW, 4);
  EXPECT_EQ(window_log.redisplays, 0);
  const std::string notice =
      "(multitasking jokes?) .handler called second time before other ended.To avoid "
      "bugs,message has been missed.";
  EXPECT_EQ(console.Lines(), (std::vector<std::string>{notice, notice, notice}));
  std::string next;
  std::getline(shell::ConsoleInput(), next);
  EXPECT_EQ(next, "rest");
  EXPECT_TRUE(Viewer.Busy);  // the running handler is not disturbed
  shell::Motion(5, 6);
  EXPECT_EQ(Viewer.MouseX, 5);
}

}  // namespace
