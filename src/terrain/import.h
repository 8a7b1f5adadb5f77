// Heightfield import: replaces heights by samples from a raw file of any
// layout, described by the statement.
#pragma once

#include "terrain/worldmap.h"

namespace terrain {

struct ImportRect {
  std::int32_t x0, y0, dx, dy, w, h;
};

void ImportHeightfield(const ImportRect& rect, const RasterDesc& src, float bias, float scale);
long double SumSamples(const RasterDesc& src);

}  // namespace terrain
