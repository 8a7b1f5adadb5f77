// The viewer window's state and event handlers: drawing the current picture,
// adapting to a new window size, idling, keys and mouse, and the progress
// handler that copies every finished picture column into the screen buffer.
//
// The handlers themselves make no OpenGL or GLUT call: they ask the window
// system through WindowOps, which the windowed program binds to GLUT and
// OpenGL (main.cpp). So the handlers run unchanged in tests without a display.
#pragma once

#include <cstdint>
#include <vector>

namespace shell {

// The window's pixel buffer: row-major, row 0 at the top, each pixel the
// bytes R, G, B, A in memory order (what glDrawPixels reads as RGBA bytes).
// An empty Screen means "no screen buffer".
struct ViewerState {
  std::vector<std::uint32_t> Screen;
  std::int32_t ScreenW = 0;
  std::int32_t ScreenH = 0;
  bool Busy = false;
  std::uint32_t Buttons = 0;  // held buttons: 1 left, 2 right, 4 middle
  std::int32_t MouseX = 0;    // pointer at the last button event or drag,
  std::int32_t MouseY = 0;    // origin top-left
};

extern ViewerState Viewer;

// What the handlers need from the window system.
struct WindowOps {
  // Viewport and a projection with (0, 0) at the top-left corner.
  void (*set_projection)(std::int32_t width, std::int32_t height);
  // Presents `pixels` (width x height, rows downwards from the top).
  void (*draw_screen)(std::int32_t width, std::int32_t height, const std::uint32_t* pixels);
  // Installs (true) or removes (false) the idle handler.
  void (*set_idle)(bool on);
  void (*post_redisplay)();
};
void SetWindowOps(const WindowOps& ops);

// First act of the main sequence: no screen buffer, not busy, no buttons.
void ResetViewer();

// Opaque white, all four bytes 255: the new screen and the crosshair.
constexpr std::uint32_t kWhitePixel = 0xFFFFFFFFu;

// GLUT callbacks.
void Display();
void Reshape(int width, int height);
void Visibility(int state);
void Idle();
void Keyboard(unsigned char key, int x, int y);
void Special(int key, int x, int y);
void Mouse(int button, int state, int x, int y);
void Motion(int x, int y);
// Engine callback: column `first` of the ImageBuffer is finished.
void ProgressColumn(std::int32_t first, std::int32_t last, void* data);

// The PC scan code of a GLUT special key, or 0 when the key has none.
std::int32_t SpecialScanCode(int glut_key);
// The four pixels around the screen centre, skipping any outside Screen.
void DrawCrosshair();

}  // namespace shell
