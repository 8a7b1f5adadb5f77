// skerrow-batch: the start-up and the start script exactly as the windowed
// program runs them, then the exit sequence instead of the window. Usable
// from scripts and render farms: no display, no OpenGL, no wait for input.
#include "script/diagnostics.h"
#include "shell/runtime.h"
#include "shell/startup.h"

namespace {

// Exit status of a run that ended normally. A fatal error (1) and a
// run-time error (its code) end the program before this point.
constexpr int kClean = 0;
constexpr int kErrorsReported = 3;

}  // namespace

int main(int argc, char** argv) {
  shell::InitModules(/*wait_at_exit=*/false);
  shell::RunStartScript(argc, argv);
  shell::Halt(script::ErrorCount > 0 ? kErrorsReported : kClean);
}
