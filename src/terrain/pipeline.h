// The lazy landscape pipeline: every frame reseeds the random source and runs
// each stage whose ready flag is clear, in a fixed order.
#pragma once

#include <cstdint>

namespace terrain {

constexpr int kRoughnessEntries = 32;
extern float Roughness[kRoughnessEntries];

// Which signed 16-bit field of a 1024 x 1024 grid a fractal layer fills.
enum class FractalTarget { Height, Tone, Cloud0, Cloud1, Cloud2, Cloud3, Tex0, Tex1 };

void PrepareLandscape();
void FractalLayer(FractalTarget target, const float* roughness);
void ShapeHeights();
void DeriveTone();

}  // namespace terrain
