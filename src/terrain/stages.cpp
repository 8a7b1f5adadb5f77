// STUB: to be implemented.
#include "terrain/stages.h"
namespace terrain {
std::int16_t BumpScratch[kMapCells];
void ShadeLandscape() {}
void MakeBumpMap() {}
void MakeClouds() {}
void MakeLightnessTables() {}
void MakeTextures() {}
void MakeDefaultColorMap() {}
}  // namespace terrain
