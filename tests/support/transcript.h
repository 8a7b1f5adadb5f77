// Test helpers: capture the console, reset the program to its start-up state,
// and run a script text through the interpreter, returning its console lines.
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace testsupport {

// Points the console at string streams for its lifetime; halts throw
// shell::ProgramExit instead of ending the test process.
class ConsoleCapture {
 public:
  explicit ConsoleCapture(const std::string& input = "");
  ~ConsoleCapture();
  std::string Text() const { return out_.str(); }
  std::vector<std::string> Lines() const;
  void Clear() { out_.str(""); }

 private:
  std::ostringstream out_;
  std::istringstream in_;
};

// Splits console text at line feeds (no empty last element for a final "\n").
std::vector<std::string> SplitLines(const std::string& text);

// The program as after start-up: engine defaults, diagnostics counters 0,
// interpreter emptied, patterns and RenderCounter reset, no finalisers, the
// throwing exit hook. The world tables are left alone (see ClearWorld).
void ResetProgram();
// Zeroes the world map, the companion grids and the colour map.
void ClearWorld();

struct Transcript {
  std::vector<std::string> lines;
  int exit_status = -1;  // -1 when the run did not halt
};

// Runs `script` as a start script (RunScriptFile), with `input` as standard
// input, and returns what the console showed. Does not reset the program.
Transcript RunScriptText(const std::string& script, const std::string& input = "");

// A fresh scratch directory for file tests (removed by the OS's tmp rules).
std::string ScratchDir(const std::string& name);

}  // namespace testsupport
