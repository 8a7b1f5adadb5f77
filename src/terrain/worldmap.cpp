#include "terrain/worldmap.h"

namespace terrain {

MapCell WorldMap[kMapCells];
Texel TextureMap[kMapCells];
TexelSlopes TextureSlopes[kMapCells];
LightEntry SunLightTable[kLightEntries];
LightEntry SkyLightTable[kLightEntries];
std::uint32_t ColorMap[kColorMapEntries];
RasterDesc WorldMapDesc;

std::uint32_t randstate = 0;

}  // namespace terrain
