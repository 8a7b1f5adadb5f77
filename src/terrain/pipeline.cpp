// STUB: to be implemented.
#include "terrain/pipeline.h"
namespace terrain {
float Roughness[kRoughnessEntries];
void PrepareLandscape() {}
void FractalLayer(FractalTarget, const float*) {}
void ShapeHeights() {}
void DeriveTone() {}
}  // namespace terrain
