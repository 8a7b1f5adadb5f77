// STUB: to be implemented.
#include "engine/renderer.h"
namespace engine {
void RenderFrame() {}
void PrepareFrame() {}
void RenderView() {}
}  // namespace engine
