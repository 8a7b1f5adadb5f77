#include "commands/handlers.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "commands/setters.h"
#include "engine/state.h"
#include "script/diagnostics.h"
#include "script/params.h"
#include "script/tokenizer.h"

namespace commands {

std::int32_t RenderCounter = 0;

namespace {

using script::ParamCount;
using script::ParamFloat;
using script::ParamInt;
using script::Params;

// Every scene handler starts the same way: step past the command word, read
// the parameter list up to the ";", and trace the call under its own name.
void BeginCall(std::string_view handler_name) {
  script::Tokenizer.NextToken();
  script::ReadParams();
  script::TraceCall(handler_name);
}

// A count check that reports and lets the caller decide whether to go on.
bool CountIs(std::int32_t wanted, std::string_view message) {
  if (ParamCount == wanted) return true;
  script::ReportError(message);
  return false;
}

// The view distance is a whole number of cells: the real is rounded, halves
// to even. A distance beyond 32 bits stays at the limit, NaN gives 0.
std::int32_t RoundFar(float far) {
  if (std::isnan(far)) return 0;
  const float rounded = std::nearbyint(far);
  if (rounded >= 2147483648.0f) return std::numeric_limits<std::int32_t>::max();
  if (rounded < -2147483648.0f) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(rounded);
}

// The three light colours and the fog colour take r, g, b from slots 0..2,
// as they stand even after a count error.
template <void (*Setter)(float, float, float)>
void RunColorCommand(std::string_view handler_name, std::string_view count_message) {
  BeginCall(handler_name);
  CountIs(3, count_message);
  const float r = ParamFloat(Params[0]);
  const float g = ParamFloat(Params[1]);
  const float b = ParamFloat(Params[2]);
  Setter(r, g, b);
}

template <void (*Setter)(float)>
void RunRealCommand(std::string_view handler_name, std::string_view count_message) {
  BeginCall(handler_name);
  CountIs(1, count_message);
  Setter(ParamFloat(Params[0]));
}

template <void (*Setter)(std::int32_t)>
void RunIntCommand(std::string_view handler_name, std::string_view count_message) {
  BeginCall(handler_name);
  CountIs(1, count_message);
  Setter(ParamInt(Params[0]));
}

// An angle the renderer cannot use (0, negative, pi or more, not finite, or
// so narrow that the focal length overflows) is reported and the previous
// field of view stays.
template <void (*Setter)(float)>
void RunFovCommand(std::string_view handler_name, std::string_view count_message) {
  BeginCall(handler_name);
  CountIs(1, count_message);
  const float angle = ParamFloat(Params[0]);
  if (!FovAngleUsable(angle)) {
    script::ReportError("Field of view angle out of range (0..pi),ignored");
    return;
  }
  Setter(angle);
}

// The projection word of a three-value RENDERPORT, compared as written; an
// unknown word falls back to the standard perspective.
std::int32_t ProjectionKind(const std::string& word) {
  if (word == "BICONE" || word == "BICONEPANORAM") return engine::kPortBicone;
  if (word == "STD" || word == "STDPERSPECTIVE") return engine::kPortStandard;
  script::ReportError("Unknown projection:\"" + word + "\" ,stdPerspective used");
  return engine::kPortStandard;
}

}  // namespace

void RunProcNothing() {}

void RunProcAssign() { BeginCall("RunProcAssign"); }

void RunProcTest() { BeginCall("RunProcTest"); }

void RunProcCamera() {
  BeginCall("RunProcCamera");
  if (ParamCount != 4 && ParamCount != 5) {
    script::ReportError("invalid parameters list");
    return;
  }
  const float x = ParamFloat(Params[0]);
  const float y = ParamFloat(Params[1]);
  const float z = ParamFloat(Params[2]);
  const float angle = ParamFloat(Params[3]);
  SetCamera(x, y, z, angle);
  if (ParamCount == 5) SetFar(RoundFar(ParamFloat(Params[4])));
}

void RunProcFAR() {
  BeginCall("RunProcFAR");
  if (!CountIs(1, "invalid parameters list")) return;
  SetFar(RoundFar(ParamFloat(Params[0])));
}

void RunProcFogColor() {
  RunColorCommand<SetFogColor>("RunProcFogColor", "illegal parameters list for FogColor");
}

void RunProcAboveLightColor() {
  RunColorCommand<SetAboveLightColor>("RunProcAboveLightColor",
                                      "illegal parameters list for abovelightcolor");
}

void RunProcReverseLightColor() {
  RunColorCommand<SetReverseLightColor>("RunProcReverseLightColor",
                                        "illegal parameters list for reverselightcolor");
}

void RunProcSunLightColor() {
  RunColorCommand<SetSunLightColor>("RunProcSunLightColor",
                                    "illegal parameters list for sunlightcolor");
}

void RunProcFogdt() { RunRealCommand<SetFogdt>("RunProcFogdt", "illegal parameters list for Fogdt"); }

void RunProcFogt() { RunRealCommand<SetFogt>("RunProcFogt", "illegal parameters list for Fogt"); }

void RunProcFOV_D() { RunFovCommand<SetFovD>("RunProcFOV_D", "illegal parameters list for FOV_D"); }

void RunProcFOV_H() { RunFovCommand<SetFovH>("RunProcFOV_H", "illegal parameters list for FOV_H"); }

void RunProcFOV_V() { RunFovCommand<SetFovV>("RunProcFOV_V", "illegal parameters list for FOV_V"); }

void RunProcInterlacing() {
  RunIntCommand<SetInterlacing>("RunProcInterlacing", "illegal parameters list for Interlacing");
}

void RunProcSetSeed() { RunIntCommand<SetSeed>("RunProcSetSeed", "illegal parameters list for SetSeed"); }

void RunProcTEXPARAM() {
  RunIntCommand<SetTexParam>("RunProcTEXPARAM", "illegal parameters list for TEXPARAM");
}

void RunProcSunPos() {
  BeginCall("RunProcSunPos");
  CountIs(2, "illegal parameters list");
  const float first = ParamFloat(Params[0]);
  const float elevation = ParamFloat(Params[1]);
  SetSunPos(first, elevation);
}

void RunProcRenderPort() {
  BeginCall("RunProcRenderPort");
  if (ParamCount == 2) {
    const std::int32_t width = ParamInt(Params[0]);
    const std::int32_t height = ParamInt(Params[1]);
    engine::RenderPort(engine::kPortStandard, width, height);
  } else if (ParamCount == 3) {
    const std::int32_t kind = ProjectionKind(Params[0].vs);
    const std::int32_t width = ParamInt(Params[1]);
    const std::int32_t height = ParamInt(Params[2]);
    engine::RenderPort(kind, width, height);
  } else {
    script::ReportError("Invalid parameters for RenderPort");
  }
}

}  // namespace commands
