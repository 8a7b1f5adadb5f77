#include "shell/startup.h"

#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>

#include "engine/state.h"
#include "script/diagnostics.h"
#include "script/interpreter.h"
#include "shell/files.h"
#include "shell/runtime.h"

namespace shell {
namespace {

constexpr std::string_view kBannerLine1 = "Skerrow - voxel landscape generator and renderer";
constexpr std::string_view kBannerLine2 = "scripts in, PPM pictures out, a live window to fly over the world";
constexpr std::string_view kDefaultScript = "default.sks";

// The windowed program keeps its console open after the exit banner until
// the user presses Enter; the batch program ends at once.
bool banner_waits = false;

void PrintBanner() {
  Console() << '\n' << kBannerLine1 << '\n' << kBannerLine2 << '\n';
  Console().flush();
}

void BannerFinal() {
  PrintBanner();
  if (banner_waits) {
    std::string line;
    std::getline(ConsoleInput(), line);
  }
}

void BannerInit(bool wait_at_exit) {
  banner_waits = wait_at_exit;
  PrintBanner();
  RegisterFinaliser(BannerFinal);
}

// The first argument when it is there and not empty, else the default
// script in the working directory; cut like every file name.
std::string ChooseScriptName(int argc, char** argv) {
  if (argc > 1 && argv[1] != nullptr && argv[1][0] != '\0') return FileNameForOpen(argv[1]);
  return std::string(kDefaultScript);
}

// A start script that cannot be read is not an error of the program: the
// caller reports it and goes on. A directory cannot be a script either.
bool OpenScript(const std::string& name, std::ifstream& file) {
  std::error_code ec;
  if (std::filesystem::is_directory(name, ec)) return false;
  file.open(name, std::ios::in | std::ios::binary);
  return file.is_open();
}

}  // namespace

void InitModules(bool wait_at_exit) {
  engine::EngineStartup();
  engine::SteeringDefaults();
  script::DiagnosticsInit();
  BannerInit(wait_at_exit);
  script::InterpreterModuleInit();
}

void RunStartScript(int argc, char** argv) {
  script::InterpreterInit();
  const std::string name = ChooseScriptName(argc, argv);
  std::ifstream file;
  if (OpenScript(name, file)) {
    Console() << '"' << name << '"' << " found,executing\n";
    script::RunScriptFile(file);
  } else {
    Console() << '"' << name << '"' << " is not found!\n";
  }
  Console().flush();
}

}  // namespace shell
