// One frame under fuzzed scene settings, made through the commands a script
// would use: camera anywhere (far outside the map, below the ground), view
// distance, field of view, interlacing, texture scale, port size, fog and
// light colours, sun position. The world is generated once per process.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/renderer.h"
#include "engine/state.h"
#include "harness.h"
#include "shell/runtime.h"

namespace {

std::string Real(FuzzedDataProvider& in, float lo, float hi) {
  switch (in.ConsumeIntegralInRange(0, 9)) {
    case 0: return "1e39";
    case 1: return "-1e39";
    case 2: {
      char text[40];
      std::snprintf(text, sizeof text, "%.9g", static_cast<double>(in.ConsumeFloatingPoint<float>()));
      return text;
    }
    default: {
      char text[40];
      std::snprintf(text, sizeof text, "%.9g", static_cast<double>(in.ConsumeFloatingPointInRange(lo, hi)));
      return text;
    }
  }
}

std::string Integer(FuzzedDataProvider& in, std::int32_t lo, std::int32_t hi) {
  if (in.ConsumeIntegralInRange(0, 15) == 0) return std::to_string(in.ConsumeIntegral<std::int32_t>());
  return std::to_string(in.ConsumeIntegralInRange(lo, hi));
}

std::string Color(FuzzedDataProvider& in) {
  return Real(in, -2, 3) + "," + Real(in, -2, 3) + "," + Real(in, -2, 3);
}

bool AllStagesReady() {
  const engine::StageFlags& f = engine::Engine.flags;
  return f.shadingready && f.lightnessready;
}

}  // namespace

// The world is generated before the first input, outside the time limit
// of any one input.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzing::GenerateWorldOnce();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::ResetProgram();
  FuzzedDataProvider in(data, size);

  std::string script;
  script += "CAMERA " + Real(in, -3000, 3000) + "," + Real(in, -3000, 3000) + "," + Real(in, -200, 1200) + "," +
            Real(in, -20, 20) + "," + Real(in, -10, 5000) + ";\n";
  static const char* const fovs[] = {"FOV_H", "FOV_V", "FOV_D"};
  if (in.ConsumeBool()) script += std::string(fovs[in.ConsumeIntegralInRange(0, 2)]) + " " + Real(in, -1, 4) + ";\n";
  script += "INTERLACING " + Integer(in, -2, 40) + ";\n";
  script += "TEXPARAM " + Integer(in, -3, 20) + ";\n";
  script += "FOGCOLOR " + Color(in) + ";\n";
  script += "FOGT " + Real(in, -1e6, 1e6) + ";\n";
  if (in.ConsumeIntegralInRange(0, 3) == 0) {
    script += "SUNLIGHTCOLOR " + Color(in) + ";\nABOVELIGHTCOLOR " + Color(in) + ";\nREVERSELIGHTCOLOR " +
              Color(in) + ";\n";
  }
  // Shadows are recomputed over the whole map after a sun move: now and then.
  if (in.ConsumeIntegralInRange(0, 15) == 0) script += "SUNPOS " + Real(in, -7, 7) + "," + Real(in, -2, 2) + ";\n";
  static const char* const kinds[] = {"", "STD,", "BICONE,", "'x',"};
  const std::int32_t width = in.ConsumeIntegralInRange(-1, 160);
  const std::int32_t height = in.ConsumeIntegralInRange(-1, 160);
  script += "RENDERPORT " + std::string(kinds[in.ConsumeIntegralInRange(0, 3)]) +
            (in.ConsumeIntegralInRange(0, 31) == 0 ? std::to_string(in.ConsumeIntegralInRange(1, 4096)) + ",1"
                                                   : std::to_string(width) + "," + std::to_string(height)) +
            ";\n";
  fuzzing::RunScript(script);

  fuzzing::ArmRenderBudget();
  try {
    engine::RenderFrame();
  } catch (const fuzzing::BudgetExhausted&) {
  } catch (const shell::ProgramExit&) {
  }
  if (!AllStagesReady()) fuzzing::RestoreWorld();
  return 0;
}
