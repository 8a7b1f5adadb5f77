// STUB: to be implemented.
#include "engine/camera.h"
namespace engine {
float GroundHeight(float, float) { return 0; }
void KeepAboveGround() {}
void MouseSteer(float, float, std::int32_t) {}
void EngineKey(char, std::int32_t) {}
}  // namespace engine
