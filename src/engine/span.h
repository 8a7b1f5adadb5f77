// Span shading and fog: the pixels of one picture column, coloured between
// two ray samples, and the running fog density that the two cloud slabs
// leave in the column.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#if defined(__x86_64__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

#include "engine/state.h"

namespace engine {

// Screen heights inside the renderer are in row units, 1/256 of a row.
constexpr std::int32_t kRowUnits = 256;
// The largest tone (16320) in the x 4096 units of an interpolated tone.
constexpr std::int32_t kMaxFineTone = 16320 * 4096;
// One cell of height in fine height units (64 height units x 4096).
constexpr std::int32_t kFineCell = 64 * 4096;
// The density from which a pixel shows the fog colour only.
constexpr std::int32_t kFullFog = 255;

// Round to nearest, ties to even, of a single. A value outside the 32-bit
// range (or NaN) gives the lowest integer, as the processor's conversion
// does, never undefined behaviour.
inline std::int32_t RoundSingle(float v) {
#if defined(__x86_64__) || defined(_M_X64)
  return _mm_cvtss_si32(_mm_set_ss(v));
#else
  if (!(v > -2147483648.0f && v < 2147483648.0f)) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(std::nearbyint(v));
#endif
}

// What the ray caster and the span share about the column being drawn.
// fogdensity itself lives in Engine, LightBuffer beside the ImageBuffer.
struct ColumnState {
  std::int32_t x = 0;
  std::int32_t drawntop = 0;  // row units; rows below drawntop div 256 are drawn
};
extern ColumnState Column;

// The fog bookkeeping of the column being drawn, taken into locals for a
// run of events: a change at a row not yet drawn waits in LightBuffer, a
// change at a row already drawn (behind nearer terrain, or below the
// picture) acts at once on every row still to be drawn, and a change above
// the picture is dropped.
struct FogEvents {
  std::int32_t* light = LightBuffer.data();
  std::int32_t rows = ImageBuffer.height;
  std::int32_t drawnrow = Column.drawntop / kRowUnits;
  std::int32_t density = Engine.fogdensity;

  void Add(std::int32_t rowpos, std::int32_t amount) {
    const std::int32_t r = rowpos / kRowUnits;
    if (r >= rows) return;
    if (r < drawnrow) {
      density += amount;
    } else {
      light[r] += amount;
    }
  }
  void Commit() const { Engine.fogdensity = density; }
};

// Enters a fog-density change at rowpos (row units).
inline void AddFog(std::int32_t rowpos, std::int32_t amount) {
  FogEvents events;
  events.Add(rowpos, amount);
  events.Commit();
}

// Fills column x from y1 (the drawn top) up to y2 (row units, y2 >= y1 + 256)
// with shaded ground: the near end (a) and far end (b) give texture
// coordinates u, v, terrain slopes gx, gy, bump and tone (x 4096), and the
// depth below the sun-shadow surface in fine height units. Surfaces more
// than a cell below that surface lose their direct sunlight gradually.
void DrawSpan(std::int32_t x, std::int32_t y1, std::int32_t y2, std::int32_t ua, std::int32_t va,
              std::int32_t ub, std::int32_t vb, std::int32_t gxa, std::int32_t gya,
              std::int32_t gxb, std::int32_t gyb, std::int32_t ba, std::int32_t bb,
              std::int32_t ta, std::int32_t tb, std::int32_t da = 0, std::int32_t db = 0);

// The sky of a row colour seen through the given fog density.
std::uint32_t SkyPixel(const Color& row, std::int32_t density);

// Fills column x from row `from` to the top with sky, taking up the fog
// density changes of those rows.
void DrawSky(std::int32_t x, std::int32_t from);

// Share of the direct sunlight that reaches a surface lying `depth` fine
// units below the sun-shadow surface: all of it down to one cell, none from
// two cells on, a linear fade between.
float SunShare(std::int32_t depth);

}  // namespace engine
