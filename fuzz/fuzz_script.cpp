// The bytes run as a start script through the interpreter, with every
// command reachable; file commands work inside the scratch folder, where a
// small colour map and a small heightfield wait to be read.
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/state.h"
#include "harness.h"

namespace {

void WriteFixtures() {
  // A colour map of 8 rows (the warning path), 256 columns, a gradient.
  std::string cm = "P6\n256 8\n255\n";
  for (int i = 0; i < 256 * 8 * 3; ++i) cm += static_cast<char>(i * 7);
  fuzzing::WriteScratchFile("cm.ppm", reinterpret_cast<const std::uint8_t*>(cm.data()), cm.size());
  fuzzing::ProtectFile("cm.ppm");
  // 32 x 32 signed 16-bit samples.
  std::string raw;
  for (int i = 0; i < 32 * 32; ++i) {
    raw += static_cast<char>(i & 0xFF);
    raw += static_cast<char>((i * 3) >> 4);
  }
  fuzzing::WriteScratchFile("h.raw", reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size());
  fuzzing::ProtectFile("h.raw");
}

bool AllStagesReady() {
  const engine::StageFlags& f = engine::Engine.flags;
  return f.landscapeready && f.shadingready && f.bumpready && f.cloudsready && f.lightnessready &&
         f.texturesready && f.colormapready;
}

}  // namespace

// The world is generated before the first input, outside the time limit
// of any one input.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzing::GenerateWorldOnce();
  WriteFixtures();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::ResetProgram();
  fuzzing::ArmRenderBudget();
  const std::string text(reinterpret_cast<const char*>(data), size);
  fuzzing::RunScript(text);
  fuzzing::RemoveWrittenFiles();
  // A stage that ran again, an import or a colour-map load changed the world:
  // put the generated one back so every input starts from the same tables.
  if (!AllStagesReady() || fuzzing::ReadAnyFile()) fuzzing::RestoreWorld();
  return 0;
}
