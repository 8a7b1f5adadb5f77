#include "harness.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <unistd.h>

#include "commands/patterns.h"
#include "engine/state.h"
#include "script/diagnostics.h"
#include "script/interpreter.h"
#include "shell/runtime.h"
#include "terrain/pipeline.h"
#include "terrain/worldmap.h"

// Every file the program opens goes through fopen in one place; the fuzz
// build links with --wrap=fopen so that opening can be confined here.
extern "C" std::FILE* __real_fopen(const char* path, const char* mode);

namespace fuzzing {
namespace {

// A stream buffer that drops everything: console output costs nothing.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

NullBuffer null_buffer;
std::ostream null_out(&null_buffer);
std::istringstream no_input;

bool confined = false;
std::set<std::string> protected_files;
std::set<std::string> written_files;
bool read_any = false;

std::int64_t pixels_left = 0;

void CountPixels(std::int32_t first, std::int32_t last, void*) {
  pixels_left -= static_cast<std::int64_t>(last - first) * engine::ImageBuffer.height;
  if (pixels_left < 0) throw BudgetExhausted{};
}

struct WorldCopy {
  terrain::MapCell map[terrain::kMapCells];
  terrain::Texel texture[terrain::kMapCells];
  terrain::TexelSlopes slopes[terrain::kMapCells];
  terrain::LightEntry sun[terrain::kLightEntries];
  terrain::LightEntry sky[terrain::kLightEntries];
  std::uint32_t colors[terrain::kColorMapEntries];
};
std::unique_ptr<WorldCopy> world;

}  // namespace

const std::string& Setup() {
  static const std::string dir = [] {
    shell::SetConsole(&null_out, &no_input);
    shell::SetExitHook(shell::ThrowingExitHook);
    const std::filesystem::path base =
        std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    const std::filesystem::path d = base / ("skerrow-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(d);
    std::filesystem::current_path(d);
    ResetProgram();
    return d.string();
  }();
  return dir;
}

void ResetProgram() {
  const engine::StageFlags flags = engine::Engine.flags;
  shell::ClearFinalisers();
  engine::EngineStartup();
  engine::SteeringDefaults();
  script::DiagnosticsInit();
  script::InterpreterModuleInit();
  script::InterpreterInit();
  shell::ClearFinalisers();
  // InterpreterInit cleared the stage flags; the tables still hold the world
  // generated once, so keep it instead of paying for it on every input.
  if (world) {
    engine::Engine.flags = flags;
    engine::Engine.flags.fovset = false;
  }
  engine::SetProgressCallback(nullptr, nullptr);
}

void GenerateWorldOnce() {
  if (world) return;
  Setup();
  engine::RenderPort(engine::kPortStandard, 1, 1);
  terrain::PrepareLandscape();
  world = std::make_unique<WorldCopy>();
  std::memcpy(world->map, terrain::WorldMap, sizeof world->map);
  std::memcpy(world->texture, terrain::TextureMap, sizeof world->texture);
  std::memcpy(world->slopes, terrain::TextureSlopes, sizeof world->slopes);
  std::memcpy(world->sun, terrain::SunLightTable, sizeof world->sun);
  std::memcpy(world->sky, terrain::SkyLightTable, sizeof world->sky);
  std::memcpy(world->colors, terrain::ColorMap, sizeof world->colors);
}

void RestoreWorld() {
  std::memcpy(terrain::WorldMap, world->map, sizeof world->map);
  std::memcpy(terrain::TextureMap, world->texture, sizeof world->texture);
  std::memcpy(terrain::TextureSlopes, world->slopes, sizeof world->slopes);
  std::memcpy(terrain::SunLightTable, world->sun, sizeof world->sun);
  std::memcpy(terrain::SkyLightTable, world->sky, sizeof world->sky);
  std::memcpy(terrain::ColorMap, world->colors, sizeof world->colors);
  engine::StageFlags& f = engine::Engine.flags;
  f.landscapeready = f.shadingready = f.bumpready = f.cloudsready = true;
  f.lightnessready = f.texturesready = f.colormapready = true;
}

int RunScript(const std::string& text) {
  std::istringstream file(text);
  confined = true;
  int status = -1;
  try {
    script::RunScriptFile(file);
  } catch (const shell::ProgramExit& exit) {
    status = exit.status;
  } catch (const BudgetExhausted&) {
    status = -2;
  }
  confined = false;
  return status;
}

void WriteScratchFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(name.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

void RemoveWrittenFiles() {
  if (written_files.empty()) return;
  written_files.clear();
  // Pictures are renamed into place from a working name, so clear the whole
  // folder but for the fixtures rather than only the names opened.
  for (const auto& entry : std::filesystem::directory_iterator(".")) {
    const std::string name = entry.path().filename().string();
    if (protected_files.count(name) == 0) std::filesystem::remove_all(entry.path());
  }
}

bool ReadAnyFile() {
  const bool was = read_any;
  read_any = false;
  return was;
}

void ProtectFile(const std::string& name) { protected_files.insert(name); }

void ArmRenderBudget() {
  pixels_left = kPixelBudget;
  engine::SetProgressCallback(CountPixels, nullptr);
}

bool MayOpen(const char* path, const char* mode) {
  if (!confined) return true;
  // libFuzzer writes its reproducers through the same fopen, also from a
  // crash inside a script run.
  static const char* const artifacts = std::getenv("SKERROW_FUZZ_ARTIFACTS");
  if (artifacts != nullptr && *artifacts != '\0' && std::strncmp(path, artifacts, std::strlen(artifacts)) == 0 &&
      std::strstr(path, "..") == nullptr) {
    return true;
  }
  // libFuzzer's own names under its default prefix "./".
  for (const char* kind : {"./crash-", "./timeout-", "./leak-", "./oom-", "./slow-unit-"}) {
    if (std::strncmp(path, kind, std::strlen(kind)) == 0 && std::strchr(path + 2, '/') == nullptr) return true;
  }
  if (std::strchr(path, '/') != nullptr) return false;
  const bool writes = std::strpbrk(mode, "wa+") != nullptr;
  if (!writes) {
    read_any = true;
    return true;
  }
  if (protected_files.count(path) != 0) return false;
  written_files.insert(path);
  return true;
}

}  // namespace fuzzing

extern "C" std::FILE* __wrap_fopen(const char* path, const char* mode) {
  if (!fuzzing::MayOpen(path, mode)) {
    errno = EACCES;
    return nullptr;
  }
  return __real_fopen(path, mode);
}
