// The pipeline stages after the heights: sun shadow, bump map with its map
// preview, clouds, lightness tables, textures and the default colour map.
#pragma once

#include <cstdint>

#include "terrain/worldmap.h"

namespace terrain {

// Raw roughness between the two passes of the bump stage.
extern std::int16_t BumpScratch[kMapCells];

// The drop of the sun-shadow line per cell, in height units with 12 fraction
// bits, for a sun elevation in radians: -Round(tan(e) x 262144). Elevations at
// or below the horizon give 0 (a level line), elevations at or past the zenith
// and tangents beyond the 32-bit range give the steepest drop.
std::int32_t ShadowSlope(float elevation);

void ShadeLandscape();
void MakeBumpMap();
void MakeClouds();
void MakeLightnessTables();
void MakeTextures();
// The slope words of both texture layers from the current TextureMap (the
// last step of MakeTextures).
void MakeTextureSlopes();
void MakeDefaultColorMap();

}  // namespace terrain
