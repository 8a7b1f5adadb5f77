// The frame renderer: one ray per picture column walked across the map's
// grid lines, spans shaded per pixel, fog of two drifting cloud slabs.
#pragma once

#include <cstdint>

namespace engine {

void RenderFrame();
void PrepareFrame();
void RenderView();

// One family of grid lines crossed by a column's ray: the next crossing
// (x, y in 20.12), its distance from the camera (1/4096 cells), and the
// increments to the crossing after it.
struct GridTracker {
  std::int32_t x, y, dist, step, slope, len;
};

// Distance of a switched-off tracker (4096 cells): it never comes nearest.
constexpr std::int32_t kTrackerOff = 16777216;

// A column's ray before the walk: the eye's distance to the column on the
// picture plane, the ray direction (4096 along the heading), and the next
// crossings of the x-lines and the y-lines.
struct ColumnRay {
  std::int32_t pixfocal;
  std::int32_t dx, dy;
  GridTracker xline, yline;
};

// Sets up the ray of picture column x from focal, renderangle, the render
// camera and the picture width of this frame.
ColumnRay SetupColumnRay(std::int32_t x);

// The ray takes the x-line crossing only when it is strictly nearer; on a
// tie the y-line crossing is taken.
inline bool TakesXLine(const ColumnRay& ray) { return ray.xline.dist < ray.yline.dist; }

// Moves a tracker to its next crossing (positions wrap with the map).
inline void AdvanceTracker(GridTracker& t, bool xline) {
  const std::uint32_t dx = static_cast<std::uint32_t>(xline ? t.step : t.slope);
  const std::uint32_t dy = static_cast<std::uint32_t>(xline ? t.slope : t.step);
  t.x = static_cast<std::int32_t>(static_cast<std::uint32_t>(t.x) + dx);
  t.y = static_cast<std::int32_t>(static_cast<std::uint32_t>(t.y) + dy);
  t.dist += t.len;
}

}  // namespace engine
