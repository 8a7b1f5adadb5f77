// The pipeline stages after the heights: sun shadow, bump map with its map
// preview, clouds, lightness tables, textures and the default colour map.
#pragma once

#include <cstdint>

#include "terrain/worldmap.h"

namespace terrain {

extern std::int16_t BumpScratch[kMapCells];

void ShadeLandscape();
void MakeBumpMap();
void MakeClouds();
void MakeLightnessTables();
void MakeTextures();
void MakeDefaultColorMap();

}  // namespace terrain
