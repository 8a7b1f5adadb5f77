// The frame renderer: one ray per picture column walked across the map's
// grid lines, spans shaded per pixel, fog of two drifting cloud slabs.
#pragma once

namespace engine {

void RenderFrame();
void PrepareFrame();
void RenderView();

}  // namespace engine
