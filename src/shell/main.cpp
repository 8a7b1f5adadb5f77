// skerrow: the start-up and the start script, then the live window. Every
// GLUT and OpenGL call of the program is in this file; the viewer's handlers
// reach the window only through the WindowOps bound here.
#include <GL/freeglut.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "engine/state.h"
#include "shell/runtime.h"
#include "shell/startup.h"
#include "shell/viewer.h"

namespace {

// Exit status when the window cannot be opened (no display, or the display
// refuses the connection). Distinct from the statuses of the script run.
constexpr int kNoWindow = 4;

constexpr int kWindowSize = 500;

void SetProjection(std::int32_t width, std::int32_t height) {
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // Window coordinate (0, 0) is the top-left corner.
  glOrtho(0, width, height, 0, -100, 100);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

// With the pixel zoom (1, -1) the first row of the screen buffer lands at
// the top of the window and the rows go downwards.
void DrawScreen(std::int32_t width, std::int32_t height, const std::uint32_t* pixels) {
  glRasterPos2i(0, 0);
  glDrawPixels(width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  glFlush();
}

void SetIdle(bool on) { glutIdleFunc(on ? shell::Idle : nullptr); }
void PostRedisplay() { glutPostRedisplay(); }

// Closing the window ends the program like Esc: finalisations, exit banner,
// the wait for Enter, status 0.
void WindowClosed() { shell::Halt(0); }

[[noreturn]] void NoWindow(const char* why) {
  shell::Console() << "skerrow: cannot open the window: " << why
                   << " (use skerrow-batch without a display, or run under xvfb-run)\n";
  shell::Halt(kNoWindow);
}

// GLUT's own fatal errors (a display that refuses the connection, no usable
// visual) end the program through the normal exit path, on the console.
void GlutError(const char* fmt, va_list ap) {
  char text[256];
  std::vsnprintf(text, sizeof text, fmt, ap);
  NoWindow(text);
}

void GlutWarning(const char* fmt, va_list ap) {
  char text[256];
  std::vsnprintf(text, sizeof text, fmt, ap);
  shell::Console() << "glut warning: " << text << '\n';
}

void CreateWindow(int& argc, char** argv) {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || display[0] == '\0') NoWindow("no display (DISPLAY is not set)");
  glutInitErrorFunc(GlutError);
  glutInitWarningFunc(GlutWarning);
  glutInit(&argc, argv);
  glutInitWindowPosition(0, 0);
  glutInitWindowSize(kWindowSize, kWindowSize);
  glutInitDisplayMode(GLUT_RGB | GLUT_SINGLE);
  glutCreateWindow("Skerrow");
  glClear(GL_COLOR_BUFFER_BIT);
  glPixelZoom(1.0f, -1.0f);
  glDisable(GL_BLEND);
  glFlush();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
}

void RegisterHandlers() {
  glutDisplayFunc(shell::Display);
  glutReshapeFunc(shell::Reshape);
  glutVisibilityFunc(shell::Visibility);
  glutKeyboardFunc(shell::Keyboard);
  glutMouseFunc(shell::Mouse);
  glutMotionFunc(shell::Motion);
  glutSpecialFunc(shell::Special);
  glutCloseFunc(WindowClosed);
}

}  // namespace

int main(int argc, char** argv) {
  shell::InitModules(/*wait_at_exit=*/true);
  shell::ResetViewer();
  shell::RunStartScript(argc, argv);
  engine::SetProgressCallback(shell::ProgressColumn, nullptr);
  CreateWindow(argc, argv);
  shell::SetWindowOps({SetProjection, DrawScreen, SetIdle, PostRedisplay});
  shell::Console() << "initializing events\n";
  RegisterHandlers();
  shell::Console() << "entering glut main loop\n";
  shell::Console().flush();
  glutMainLoop();
  return 0;
}
