// Program start-up shared by both executables: the module initialisations in
// their fixed order, InterpreterInit, and the start script run.
#pragma once

namespace shell {

// Module initialisations: engine, steering, diagnostics, banner, interpreter
// (the command-table check). `wait_at_exit` makes the banner's finalisation
// wait for one line on standard input (the windowed program does).
void InitModules(bool wait_at_exit);
// Main sequence up to the script's end: InterpreterInit, choose the start
// script (argv[1] or "default.sks"), print the found / not-found line, run it.
void RunStartScript(int argc, char** argv);

}  // namespace shell
