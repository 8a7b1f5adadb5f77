// STUB: to be implemented.
#include "engine/state.h"
namespace engine {
EngineState Engine;
terrain::RasterDesc ImageBuffer;
std::vector<std::int32_t> LightBuffer;
std::vector<Color> SkyRows;
void EngineStartup() {}
void SteeringDefaults() {}
void EngineInit() {}
void SetDefaultParams() {}
void RenderPort(std::int32_t, std::int32_t, std::int32_t) {}
void SetProgressCallback(ProgressCallback, void*) {}
void NotifyProgress(std::int32_t, std::int32_t) {}
void InvalidateLandscape() {}
std::uint64_t ReadClock() { return 0; }
}  // namespace engine
