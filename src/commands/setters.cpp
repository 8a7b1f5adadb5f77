// STUB: to be implemented.
#include "commands/setters.h"
namespace commands {
void SetCamera(float, float, float, float) {}
void SetFar(std::int32_t) {}
void SetFogColor(float, float, float) {}
void SetFogt(float) {}
void SetFogdt(float) {}
void SetFovV(float) {}
void SetFovH(float) {}
void SetFovD(float) {}
void SetInterlacing(std::int32_t) {}
void SetTexParam(std::int32_t) {}
void SetSeed(std::int32_t) {}
void SetSunPos(float, float) {}
void SetSunLightColor(float, float, float) {}
void SetAboveLightColor(float, float, float) {}
void SetReverseLightColor(float, float, float) {}
void SetColorMap(const std::uint32_t*) {}
}  // namespace commands
