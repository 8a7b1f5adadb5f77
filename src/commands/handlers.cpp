// STUB: to be implemented.
#include "commands/handlers.h"
namespace commands {
std::int32_t RenderCounter = 0;
void RunProcNothing() {}
void RunProcAboveLightColor() {}
void RunProcAssign() {}
void RunProcCamera() {}
void RunProcFAR() {}
void RunProcFogColor() {}
void RunProcFogdt() {}
void RunProcFogt() {}
void RunProcFOV_D() {}
void RunProcFOV_H() {}
void RunProcFOV_V() {}
void RunProcInterlacing() {}
void RunProcRenderPort() {}
void RunProcReverseLightColor() {}
void RunProcSetSeed() {}
void RunProcSunLightColor() {}
void RunProcSunPos() {}
void RunProcTest() {}
void RunProcTEXPARAM() {}
}  // namespace commands
