#include "support/transcript.h"

#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "commands/patterns.h"
#include "engine/state.h"
#include "script/diagnostics.h"
#include "script/interpreter.h"
#include "shell/runtime.h"
#include "terrain/worldmap.h"

namespace testsupport {

ConsoleCapture::ConsoleCapture(const std::string& input) : in_(input) {
  shell::SetConsole(&out_, &in_);
  shell::SetExitHook(shell::ThrowingExitHook);
}

ConsoleCapture::~ConsoleCapture() { shell::SetConsole(nullptr, nullptr); }

std::vector<std::string> ConsoleCapture::Lines() const { return SplitLines(out_.str()); }

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string current;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
}

void ResetProgram() {
  std::ostringstream sink;
  std::istringstream none;
  shell::SetConsole(&sink, &none);
  shell::ClearFinalisers();
  shell::SetExitHook(shell::ThrowingExitHook);
  engine::EngineStartup();
  engine::SteeringDefaults();
  script::DiagnosticsInit();
  script::InterpreterModuleInit();
  script::InterpreterInit();
  shell::ClearFinalisers();
  shell::SetConsole(nullptr, nullptr);
}

void ClearWorld() {
  std::memset(terrain::WorldMap, 0, sizeof terrain::WorldMap);
  std::memset(terrain::TextureMap, 0, sizeof terrain::TextureMap);
  std::memset(terrain::TextureSlopes, 0, sizeof terrain::TextureSlopes);
  std::memset(terrain::SunLightTable, 0, sizeof terrain::SunLightTable);
  std::memset(terrain::SkyLightTable, 0, sizeof terrain::SkyLightTable);
  std::memset(terrain::ColorMap, 0, sizeof terrain::ColorMap);
}

Transcript RunScriptText(const std::string& script, const std::string& input) {
  ConsoleCapture capture(input);
  Transcript result;
  std::istringstream file(script);
  try {
    script::RunScriptFile(file);
  } catch (const shell::ProgramExit& exit) {
    result.exit_status = exit.status;
  }
  result.lines = capture.Lines();
  return result;
}

std::string ScratchDir(const std::string& name) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("skerrow-test-" + name + "-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir.string();
}

}  // namespace testsupport
