#include "shell/viewer.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <istream>
#include <ostream>
#include <string>

#include "engine/camera.h"
#include "engine/renderer.h"
#include "engine/state.h"
#include "script/interpreter.h"
#include "shell/runtime.h"

namespace shell {

ViewerState Viewer;

namespace {

// Until the windowed program binds the real window, the handlers talk to
// nobody: a test can drive them without a display.
void NoProjection(std::int32_t, std::int32_t) {}
void NoDraw(std::int32_t, std::int32_t, const std::uint32_t*) {}
void NoIdle(bool) {}
void NoRedisplay() {}

WindowOps window{NoProjection, NoDraw, NoIdle, NoRedisplay};

constexpr int kVisible = 1;
constexpr int kReleased = 1;
constexpr int kPressed = 0;
constexpr unsigned char kEnter = 13;
constexpr unsigned char kEsc = 27;

struct ScanCodeRow {
  int glut_key;
  std::int32_t scan_code;
};

// GLUT special keys and the PC keyboard scan codes the engine's key
// handling understands.
constexpr std::array<ScanCodeRow, 21> kScanCodes{{
    {1, 0x3B},   {2, 0x3C},   {3, 0x3D},   {4, 0x3E},   {5, 0x3F},   {6, 0x40},
    {7, 0x41},   {8, 0x42},   {9, 0x43},   {10, 0x44},  {11, 0x85},  {12, 0x86},
    {100, 0x4B}, {101, 0x48}, {102, 0x4D}, {103, 0x50}, {104, 0x49}, {105, 0x51},
    {106, 0x47}, {107, 0x4F}, {108, 0x52},
}};

// GLUT button numbers (0 left, 1 middle, 2 right) to bits of Buttons.
std::uint32_t ButtonBit(int button) {
  switch (button) {
    case 0: return 1;
    case 2: return 2;
    case 1: return 4;
    default: return 0;
  }
}

// The re-entrancy guard every guarded handler starts with. A handler entered
// while another one still runs (GLUT can call back from inside a console run
// or a frame) loses its event, after the user has acknowledged it.
bool EnterGuarded() {
  if (Viewer.Busy) {
    Console() << "(multitasking jokes?) .handler called second time before other ended."
                 "To avoid bugs,message has been missed.\n";
    Console().flush();
    std::string line;
    std::getline(ConsoleInput(), line);
    return false;
  }
  Viewer.Busy = true;
  return true;
}

void LeaveGuarded() { Viewer.Busy = false; }

void SetScreenPixel(std::int32_t x, std::int32_t y, std::uint32_t value) {
  if (x < 0 || y < 0 || x >= Viewer.ScreenW || y >= Viewer.ScreenH) return;
  Viewer.Screen[static_cast<std::size_t>(y) * Viewer.ScreenW + x] = value;
}

// Mouse steering: x from -1 at the left edge to +1 at the right, y from +1
// at the top to -1 at the bottom, from the last pointer position.
void SteerFromPointer() {
  const double x = 2.0 * Viewer.MouseX / Viewer.ScreenW - 1.0;
  const double y = 1.0 - 2.0 * Viewer.MouseY / Viewer.ScreenH;
  engine::MouseSteer(static_cast<float>(x), static_cast<float>(y),
                     static_cast<std::int32_t>(Viewer.Buttons));
}

void DrawFrame() {
  if (Viewer.Screen.empty()) {
    Console() << "unassigned screen.\n";
    return;
  }
  if (Viewer.Buttons != 0) SteerFromPointer();
  engine::RenderFrame();
  if (Viewer.Buttons != 0) DrawCrosshair();
  Console() << "redrawing...\n";
  Console().flush();
  window.draw_screen(Viewer.ScreenW, Viewer.ScreenH, Viewer.Screen.data());
}

// A window with no pixels gets no screen buffer: the frames only say
// "unassigned screen." until a later reshape gives the window pixels again.
void ReplaceScreen(int width, int height) {
  std::vector<std::uint32_t>().swap(Viewer.Screen);
  if (width > 0 && height > 0) {
    Viewer.Screen.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                         kWhitePixel);
  }
  Viewer.ScreenW = width;
  Viewer.ScreenH = height;
}

}  // namespace

void SetWindowOps(const WindowOps& ops) { window = ops; }

void ResetViewer() {
  std::vector<std::uint32_t>().swap(Viewer.Screen);
  Viewer.ScreenW = 0;
  Viewer.ScreenH = 0;
  Viewer.Busy = false;
  Viewer.Buttons = 0;
  Viewer.MouseX = 0;
  Viewer.MouseY = 0;
}

std::int32_t SpecialScanCode(int glut_key) {
  for (const ScanCodeRow& row : kScanCodes) {
    if (row.glut_key == glut_key) return row.scan_code;
  }
  return 0;
}

void DrawCrosshair() {
  if (Viewer.Screen.empty()) return;
  const std::int32_t cx = Viewer.ScreenW / 2;
  const std::int32_t cy = Viewer.ScreenH / 2;
  SetScreenPixel(cx, cy - 1, kWhitePixel);
  SetScreenPixel(cx - 1, cy, kWhitePixel);
  SetScreenPixel(cx + 1, cy, kWhitePixel);
  SetScreenPixel(cx, cy + 1, kWhitePixel);
}

void Display() {
  if (!EnterGuarded()) return;
  DrawFrame();
  LeaveGuarded();
}

void Reshape(int width, int height) {
  if (!EnterGuarded()) return;
  window.set_projection(width, height);
  ReplaceScreen(width, height);
  engine::RenderPort(0, width, height);
  LeaveGuarded();
}

// Frames follow one another only while the window can be seen.
void Visibility(int state) { window.set_idle(state == kVisible); }

void Idle() {
  if (!EnterGuarded()) return;
  window.post_redisplay();
  LeaveGuarded();
}

void Keyboard(unsigned char key, int, int) {
  if (!EnterGuarded()) return;
  if (key == kEnter) script::RunConsole();
  if (key == kEsc) Halt(0);
  engine::EngineKey(static_cast<char>(key), 0);
  LeaveGuarded();
}

void Special(int key, int, int) {
  if (!EnterGuarded()) return;
  const std::int32_t code = SpecialScanCode(key);
  if (code != 0) engine::EngineKey(0, code);
  LeaveGuarded();
}

void Mouse(int button, int state, int x, int y) {
  if (!EnterGuarded()) return;
  const std::uint32_t bit = ButtonBit(button);
  if (state == kReleased) Viewer.Buttons &= ~bit;
  if (state == kPressed) Viewer.Buttons |= bit;
  Viewer.MouseX = x;
  Viewer.MouseY = y;
  LeaveGuarded();
}

void Motion(int x, int y) {
  Viewer.MouseX = x;
  Viewer.MouseY = y;
}

// The ImageBuffer is column-major with row 0 at the bottom and pixels
// 0x00RRGGBB; Screen is row-major with row 0 at the top and pixels in the
// byte order R, G, B, A. The picture's bottom row lands on the lowest row
// both share, so a picture taller than the window loses its top rows.
void ProgressColumn(std::int32_t first, std::int32_t, void*) {
  if (Viewer.Screen.empty()) return;
  if (static_cast<std::uint32_t>(first) >= static_cast<std::uint32_t>(Viewer.ScreenW)) return;
  // A column the picture does not have (a port narrower than the window).
  if (engine::ImageBuffer.data == nullptr || first >= engine::ImageBuffer.width) return;
  const std::int32_t rows = std::min(Viewer.ScreenH, engine::ImageBuffer.height) - 1;
  if (rows < 0) return;
  for (std::int32_t r = 0; r <= rows; ++r) {
    const std::uint32_t p = engine::PixelAt(first, r);
    const std::uint32_t swapped =
        (p & 0xFF00FF00u) | ((p & 0x000000FFu) << 16) | ((p >> 16) & 0x000000FFu);
    Viewer.Screen[static_cast<std::size_t>(rows - r) * Viewer.ScreenW + first] = swapped;
  }
}

}  // namespace shell
