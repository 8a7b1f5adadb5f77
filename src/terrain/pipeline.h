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

// The displacement amplitudes of one level in height units: a1 for the
// centres, a2 (a1 / sqrt 2) for the passes with a diagonal or axis spacing of
// half a square.
struct LevelAmplitudes {
  std::int32_t a1;
  std::int32_t a2;
};
LevelAmplitudes AmplitudesOf(const float* roughness, int level);

// Sets the Roughness entries of the layer that fills `target` (the layer
// table: landscape, detail, four clouds, two textures) and runs FractalLayer
// with them; draws 2,097,150 numbers.
void RunFractalLayer(FractalTarget target);

}  // namespace terrain
