#include "engine/renderer.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>
#include <ostream>

#include "commands/setters.h"
#include "engine/camera.h"
#include "engine/span.h"
#include "engine/state.h"
#include "shell/runtime.h"
#include "terrain/pipeline.h"
#include "terrain/worldmap.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace engine {

namespace {

using terrain::CellIndexFixed;
using terrain::MapCell;
using terrain::WorldMap;

constexpr std::int32_t kCell = 4096;                 // 20.12: one cell
constexpr std::uint32_t kFraction = 4095;            // the 12 fraction bits
constexpr std::int32_t kThinning = 80 * kCell;       // past this, one family of lines only
constexpr std::int32_t kAxisBand = 800;              // |d| <= this: the ray runs along the other axis
constexpr std::int32_t kMaxFarCells = kTrackerOff / kCell - 1;  // 4095: trackers stay below "off"
constexpr std::int32_t kNearLimit = 100;             // keeps the projection's divisor positive
constexpr std::int32_t kRowLimit = 1 << 30;          // projected rows are kept within +-2^30
constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;
constexpr float kQuarterTurn = std::numbers::pi_v<float> / 2.0f;
// Cloud slabs: the floors and ceilings of the two layers are the four cloud
// surfaces raised by these heights (height units).
constexpr std::int32_t kCloudLift[4] = {-10, 1280, 640, 2560};

inline std::int32_t WrapAdd(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

inline std::int32_t WrapSub(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

// Clears the 12 fraction bits (toward minus infinity).
inline std::int32_t CellFloor(std::int32_t v) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) & ~kFraction);
}

inline std::int32_t ClampToInt32(std::int64_t v) {
  if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

// Round of a real into 32 bits, saturating instead of wrapping (NaN gives 0).
inline std::int32_t RoundSaturated(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(std::nearbyint(v));
}

// The projection offset Round(halfrows / scale - eye height), saturating.
inline std::int32_t ProjectionBase(std::int32_t halfrows, float scale, float zfine) {
  const float base = static_cast<float>(halfrows) / scale - zfine;
  if (!(base > -2147483520.0f)) return std::numeric_limits<std::int32_t>::min();
  if (base > 2147483520.0f) return std::numeric_limits<std::int32_t>::max();
  return RoundSingle(base);
}

// A projected row, kept within +-2^30 so that the column's comparisons and
// the span's differences cannot overflow.
inline std::int32_t ProjectRow(std::int64_t fine, float scale) {
  const float r = static_cast<float>(fine) * scale;
  if (!(r > -static_cast<float>(kRowLimit))) return -kRowLimit;
  if (r > static_cast<float>(kRowLimit)) return kRowLimit;
  return RoundSingle(r);
}

// Round of a real that stands for a position or offset in 20.12 units;
// positions wrap with the map, so the low 32 bits are kept.
inline std::int32_t RoundWrapped(float v) {
  if (!std::isfinite(v) || std::fabs(v) >= 9.2e18f) return 0;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(std::llrint(v)));
}

// What every column of a frame shares.
struct FrameView {
  std::int32_t width = 0;
  std::int32_t rows = 0;
  std::int32_t farlimit = 0;  // view distance in 1/4096 cells
  std::int32_t halfrows = 0;  // H x 256 div 2: the horizon in row units
  float zfine = 0;            // the eye height in fine height units
  std::uint8_t texparam = 0;
  std::int32_t cloudshift[2] = {0, 0};
};

// A crossing of the ray with a grid line, and what the column needs of it.
// The walk fills in the geometry (position to base), the column the rest.
struct RaySample {
  std::int32_t px, py;  // 20.12
  std::int32_t dist;
  std::int32_t cellA, cellB;  // the cells on either side of the crossing
  std::int32_t frac;
  std::int32_t fogcells;       // cells of path whose fog this crossing collects, 0 for none
  std::int32_t cloudcells[4];  // where its four cloud surfaces are read, when it collects fog
  float scale;                 // projection at this distance
  std::int32_t base;
  std::int32_t h;  // fine height
  std::int32_t row;  // row units
  bool hidden;
  std::int32_t gx, gy;
  std::int32_t u, v;
  std::int32_t bump, tone;
  std::int32_t depth;  // fine height units below the sun-shadow surface
};

inline std::int32_t Lerp(std::int32_t a, std::int32_t b, std::int32_t frac) {
  return a * kCell + (b - a) * frac;
}

inline std::int32_t RightOf(std::int32_t cell) {
  return (cell & ~terrain::kMapMask) | ((cell + 1) & terrain::kMapMask);
}
inline std::int32_t LeftOf(std::int32_t cell) {
  return (cell & ~terrain::kMapMask) | ((cell - 1) & terrain::kMapMask);
}
inline std::int32_t Above(std::int32_t cell) { return (cell + terrain::kMapSize) & (terrain::kMapCells - 1); }
inline std::int32_t Below(std::int32_t cell) { return (cell - terrain::kMapSize) & (terrain::kMapCells - 1); }

inline std::int32_t SlopeX(std::int32_t cell) {
  return (WorldMap[RightOf(cell)].height - WorldMap[LeftOf(cell)].height) / 2;
}
inline std::int32_t SlopeY(std::int32_t cell) {
  return (WorldMap[Above(cell)].height - WorldMap[Below(cell)].height) / 2;
}

inline std::int32_t SampleHeight(const RaySample& s) {
  return Lerp(WorldMap[s.cellA].height, WorldMap[s.cellB].height, s.frac);
}

// The shading fields of a visible sample.
inline void Shade(RaySample& s, std::uint8_t texparam) {
  const MapCell& a = WorldMap[s.cellA];
  const MapCell& b = WorldMap[s.cellB];
  s.gx = Lerp(SlopeX(s.cellA), SlopeX(s.cellB), s.frac);
  s.gy = Lerp(SlopeY(s.cellA), SlopeY(s.cellB), s.frac);
  s.u = static_cast<std::int32_t>(static_cast<std::uint32_t>(s.px) << texparam);
  s.v = static_cast<std::int32_t>(static_cast<std::uint32_t>(s.py) << texparam);
  s.bump = Lerp(a.bump, b.bump, s.frac);
  s.tone = Lerp(a.tone, b.tone, s.frac);
  s.depth = Lerp(a.shadow, b.shadow, s.frac) - s.h;
}

// Moves the near end of a span up to the drawn top, interpolating toward the
// far end; the slopes stay as they are.
void ClipToDrawnTop(RaySample& prev, const RaySample& cur, std::int32_t drawntop) {
  const double t = static_cast<double>(prev.row - drawntop) / static_cast<double>(prev.row - cur.row);
  auto toward = [t](std::int32_t& p, std::int32_t c) {
    p = WrapAdd(static_cast<std::int32_t>(std::llrint(static_cast<double>(WrapSub(c, p)) * t)), p);
  };
  toward(prev.u, cur.u);
  toward(prev.v, cur.v);
  toward(prev.tone, cur.tone);
  toward(prev.bump, cur.bump);
  toward(prev.depth, cur.depth);
  prev.row = drawntop;
}

// Cloud fog of the air above one sample, entered as row events: each layer
// is a slab between two cloud surfaces, and only its sunlit part (above the
// sun-shadow surface) glows.
// `cloudcells` are the cells, drifted by the cloud shift, that hold the four
// cloud surfaces above the sample.
// `events` is the column's fog bookkeeping, held in locals across the samples.
void CollectFog(const RaySample& s, std::int32_t cells, const std::int32_t* cloudcells, FogEvents& events) {
  const MapCell& a = WorldMap[s.cellA];
  const MapCell& b = WorldMap[s.cellB];
  const std::int32_t shadow = Lerp(a.shadow, b.shadow, s.frac) / kCell;
  std::int32_t c[4] = {
      WorldMap[cloudcells[0]].cloud[0] + kCloudLift[0],
      WorldMap[cloudcells[1]].cloud[1] + kCloudLift[1],
      WorldMap[cloudcells[2]].cloud[2] + kCloudLift[2],
      WorldMap[cloudcells[3]].cloud[3] + kCloudLift[3],
  };
  for (std::int32_t& level : c) {
    if (level < shadow) level = shadow;
  }
  // Each lit slab is entered as two row events, taken together.
  for (int layer = 0; layer < 4; layer += 2) {
    if (c[layer + 1] <= c[layer]) continue;
    events.Add(ProjectRow(static_cast<std::int64_t>(c[layer]) * kCell + s.base, s.scale), cells);
    events.Add(ProjectRow(static_cast<std::int64_t>(c[layer + 1]) * kCell + s.base, s.scale), -cells);
  }
}

// The ray's geometry (where it crosses the grid lines, which cells lie on
// either side, and whether the crossing collects fog) depends on nothing but
// the trackers, so it is walked a batch ahead of the terrain work and the
// map cells it will need are fetched meanwhile.
constexpr int kCrossingBatch = 32;

struct RayWalk {
  ColumnRay ray;
  std::int32_t farlimit;
  float focal4;  // pixfocal x heightscale x 256
  std::int32_t lastfog = 0;  // distance up to which fog has been collected
  bool thinned = false;
  bool ended = false;  // the next crossing lies beyond the view distance
#if defined(__SSE2__)
  // The cloud shift of the four cloud surfaces, one per lane: (cx, cy),
  // (-cy, cx), (cy, -cx), (-cy, -cx), each wrapping with the map.
  __m128i cloudx, cloudy;
#endif
};

// The projection of each crossing: scale = focal4 / (distance + 100) and
// its base, by single divisions. They are the walk's slowest operations, so
// four crossings are divided at once, each lane exactly as one at a time.
void ProjectCrossings(RaySample* out, int n, float focal4, const FrameView& view) {
  int i = 0;
#if defined(__SSE2__)
  const __m128 focal = _mm_set1_ps(focal4);
  const __m128 halfrows = _mm_set1_ps(static_cast<float>(view.halfrows));
  const __m128 zfine = _mm_set1_ps(view.zfine);
  // ProjectionBase's limits: at or below the lowest (or NaN) the lowest
  // integer, above the highest the highest.
  const __m128 lowest = _mm_set1_ps(-2147483520.0f);
  const __m128 highest = _mm_set1_ps(2147483520.0f);
  const __m128i intmin = _mm_set1_epi32(std::numeric_limits<std::int32_t>::min());
  const __m128i intmax = _mm_set1_epi32(std::numeric_limits<std::int32_t>::max());
  for (; i + 4 <= n; i += 4) {
    const __m128i dist = _mm_setr_epi32(out[i].dist, out[i + 1].dist, out[i + 2].dist, out[i + 3].dist);
    const __m128 scale = _mm_div_ps(focal, _mm_cvtepi32_ps(_mm_add_epi32(dist, _mm_set1_epi32(kNearLimit))));
    const __m128 base = _mm_sub_ps(_mm_div_ps(halfrows, scale), zfine);
    __m128i rounded = _mm_cvtps_epi32(base);
    const __m128i low = _mm_castps_si128(_mm_cmpngt_ps(base, lowest));
    const __m128i high = _mm_castps_si128(_mm_cmpgt_ps(base, highest));
    rounded = _mm_or_si128(_mm_andnot_si128(low, rounded), _mm_and_si128(low, intmin));
    rounded = _mm_or_si128(_mm_andnot_si128(high, rounded), _mm_and_si128(high, intmax));
    alignas(16) float scales[4];
    alignas(16) std::int32_t bases[4];
    _mm_store_ps(scales, scale);
    _mm_store_si128(reinterpret_cast<__m128i*>(bases), rounded);
    for (int k = 0; k < 4; ++k) {
      out[i + k].scale = scales[k];
      out[i + k].base = bases[k];
    }
  }
#endif
  for (; i < n; ++i) {
    out[i].scale = focal4 / static_cast<float>(out[i].dist + kNearLimit);
    out[i].base = ProjectionBase(view.halfrows, out[i].scale, view.zfine);
  }
}

// Fills `out` with the next crossings of the ray; fewer than a batch when the
// view distance is reached.
int WalkCrossings(RayWalk& walk, const FrameView& view, RaySample* out) {
  ColumnRay& ray = walk.ray;
  int n = 0;
  while (n < kCrossingBatch) {
    // The nearer crossing; ties go to the y-line.
    const bool xline = TakesXLine(ray);
    GridTracker& tracker = xline ? ray.xline : ray.yline;
    RaySample& c = out[n];
    c.px = tracker.x;
    c.py = tracker.y;
    c.dist = tracker.dist;
    c.cellA = CellIndexFixed(c.px, c.py);
    if (xline) {
      c.cellB = CellIndexFixed(c.px, WrapAdd(c.py, kCell));
      c.frac = static_cast<std::int32_t>(static_cast<std::uint32_t>(c.py) & kFraction);
    } else {
      c.cellB = CellIndexFixed(WrapAdd(c.px, kCell), c.py);
      c.frac = static_cast<std::int32_t>(static_cast<std::uint32_t>(c.px) & kFraction);
    }

    // Far field: only the more frequent family of lines (on equal lengths
    // the x-lines stay).
    if (!walk.thinned && CellFloor(c.dist) >= kThinning) {
      walk.thinned = true;
      if (ray.xline.len > ray.yline.len) {
        ray.xline.dist = kTrackerOff;
      } else {
        ray.yline.dist = kTrackerOff;
      }
    }
    if (walk.farlimit < c.dist) {
      walk.ended = true;
      break;
    }

    __builtin_prefetch(&WorldMap[c.cellA]);
    __builtin_prefetch(&WorldMap[c.cellB]);
    // Fog, at most once per cell of distance.
    c.fogcells = 0;
    if (c.dist > walk.lastfog) {
      c.fogcells = (c.dist - walk.lastfog) / kCell + 1;
      walk.lastfog = CellFloor(c.dist + kCell);
      // Each cloud layer drifts its own way: the shift turned by quarter turns.
#if defined(__SSE2__)
      // The four cells located side by side, one layer per lane.
      const __m128i x = _mm_add_epi32(_mm_set1_epi32(c.px), walk.cloudx);
      const __m128i y = _mm_add_epi32(_mm_set1_epi32(c.py), walk.cloudy);
      const __m128i mask = _mm_set1_epi32(terrain::kMapMask);
      const __m128i cells = _mm_or_si128(_mm_slli_epi32(_mm_and_si128(_mm_srli_epi32(y, 12), mask), 10),
                                         _mm_and_si128(_mm_srli_epi32(x, 12), mask));
      static_assert(terrain::kMapSize == 1 << 10, "a map row is 2^10 cells");
      _mm_storeu_si128(reinterpret_cast<__m128i*>(c.cloudcells), cells);
#else
      const std::int32_t cx = view.cloudshift[0];
      const std::int32_t cy = view.cloudshift[1];
      c.cloudcells[0] = CellIndexFixed(WrapAdd(c.px, cx), WrapAdd(c.py, cy));
      c.cloudcells[1] = CellIndexFixed(WrapSub(c.px, cy), WrapAdd(c.py, cx));
      c.cloudcells[2] = CellIndexFixed(WrapAdd(c.px, cy), WrapSub(c.py, cx));
      c.cloudcells[3] = CellIndexFixed(WrapSub(c.px, cy), WrapSub(c.py, cx));
#endif
      for (const std::int32_t cell : c.cloudcells) __builtin_prefetch(&WorldMap[cell]);
    }
    ++n;
    AdvanceTracker(tracker, xline);
  }
  ProjectCrossings(out, n, walk.focal4, view);
  return n;
}

// Walks the ray of column x from the camera outwards and draws the column.
void RenderColumn(std::int32_t x, const FrameView& view) {
  RayWalk walk;
  walk.ray = SetupColumnRay(x);
  walk.farlimit = view.farlimit;
  const float focal4 = static_cast<float>(walk.ray.pixfocal) * Engine.heightscale * 256.0f;
  walk.focal4 = focal4;
#if defined(__SSE2__)
  {
    const std::int32_t cx = view.cloudshift[0];
    const std::int32_t cy = view.cloudshift[1];
    walk.cloudx = _mm_setr_epi32(cx, WrapSub(0, cy), cy, WrapSub(0, cy));
    walk.cloudy = _mm_setr_epi32(cy, cx, WrapSub(0, cx), WrapSub(0, cx));
  }
#endif
  const std::int32_t toprow = view.rows * kRowUnits;

  // A fresh column: no fog, nothing drawn.
  std::memset(LightBuffer.data(), 0, LightBuffer.size() * sizeof(std::int32_t));
  Engine.fogdensity = 0;
  Column.x = x;
  Column.drawntop = 0;
  // The fog bookkeeping stays in locals between spans: the span and the sky
  // take the density over from Engine and leave it there.
  FogEvents fog;

  // The samples are worked on where the walk left them; the previous one of
  // a batch's first sample is kept aside before the batch is refilled. The
  // first sample is the eye's own position, projected without distance.
  RaySample carried{};
  RaySample* prevsample = &carried;
  RaySample& eye = carried;
  eye.px = Engine.rendercamera.x;
  eye.py = Engine.rendercamera.y;
  eye.cellA = eye.cellB = CellIndexFixed(eye.px, eye.py);
  eye.hidden = true;
  eye.scale = focal4;
  eye.base = ProjectionBase(view.halfrows, eye.scale, view.zfine);
  eye.h = SampleHeight(eye);
  eye.row = ProjectRow(static_cast<std::int64_t>(eye.h) + eye.base, eye.scale);

  RaySample batch[kCrossingBatch];
  for (;;) {
    const int count = WalkCrossings(walk, view, batch);
    for (int i = 0; i < count; ++i) {
      RaySample& cur = batch[i];
      RaySample& prev = *prevsample;
      prevsample = &cur;

      // Height and projection.
      cur.h = SampleHeight(cur);
      cur.row = ProjectRow(static_cast<std::int64_t>(cur.h) + cur.base, cur.scale);

      // Fog is collected for every sample within the view distance, hidden
      // or not, before the sample's own span is drawn.
      if (cur.fogcells != 0) CollectFog(cur, cur.fogcells, cur.cloudcells, fog);

      // Visible only where the terrain rises above what is drawn.
      if (Column.drawntop + kRowUnits > cur.row) {
        cur.hidden = true;
        continue;
      }
      cur.hidden = false;
      Shade(cur, view.texparam);
      // A hidden sample has its height and row already, but no shading.
      if (prev.hidden) Shade(prev, view.texparam);
      if (prev.row < Column.drawntop) ClipToDrawnTop(prev, cur, Column.drawntop);

      fog.Commit();
      DrawSpan(x, Column.drawntop, cur.row, prev.u, prev.v, cur.u, cur.v, prev.gx, prev.gy, cur.gx,
               cur.gy, prev.bump, cur.bump, prev.tone, cur.tone, prev.depth, cur.depth);
      Column.drawntop = cur.row;
      if (Column.drawntop >= toprow) return;  // full to the top: no sky
      fog.density = Engine.fogdensity;
      fog.drawnrow = Column.drawntop / kRowUnits;
    }
    if (walk.ended) break;
    carried = *prevsample;
    prevsample = &carried;
  }
  // The ray passed the view distance: the rest is sky.
  fog.Commit();
  DrawSky(x, Column.drawntop / kRowUnits);
}

// Sky colour per row: brightest at the horizon (the middle row), falling
// toward the top and bottom rows.
void BuildSkyRows(std::int32_t rows) {
  const std::int32_t half = rows / 2;
  for (std::int32_t r = 0; r < rows; ++r) {
    const float v = static_cast<float>(half) / (static_cast<float>(r - half) - 0.5f);
    const float u = 0.2f * std::sqrt(1.0f + v * v);
    const float w = u / std::sqrt(1.0f + u * u);
    SkyRows[static_cast<std::size_t>(r)] = Color{0.6f * w, 0.8f * w, w};
  }
}

// The view distance as whole cells; the walk is defined below 4096 cells.
std::int32_t FarLimit() {
  std::int32_t cells = RoundSaturated(Engine.far);
  if (cells > kMaxFarCells) cells = kMaxFarCells;
  if (cells < -1) cells = -1;
  return cells * kCell;
}

std::int32_t FocalLength() {
  const std::int64_t w = ImageBuffer.width;
  const std::int64_t h = ImageBuffer.height;
  switch (Engine.fovmode) {
    case 0:
      return RoundSaturated(Engine.fovfactor * static_cast<float>(h));
    case 1:
      return RoundSaturated(Engine.fovfactor * static_cast<float>(w));
    case 2:
      return RoundSaturated(Engine.fovfactor * std::sqrt(static_cast<float>(w * w + h * h)));
    default:
      return Engine.focal;
  }
}

void PrintTiming(std::int32_t columns) {
  const std::uint64_t clocks = Engine.clockend - Engine.clockstart;
  const std::int64_t pixels = static_cast<std::int64_t>(ImageBuffer.width) * ImageBuffer.height;
  std::int64_t divisor = pixels / Engine.interlacing;
  // More interlacing than pixels: measure against what was drawn.
  if (divisor == 0) divisor = static_cast<std::int64_t>(columns) * ImageBuffer.height;
  if (divisor == 0) divisor = 1;
  shell::Console() << "Clocks per frame:" << clocks << " per pixel:" << clocks / static_cast<std::uint64_t>(divisor)
                   << '\n';
}

// One grid-line tracker. `along` is the ray component across the lines,
// `across` the other one; `at_along` / `at_across` are the tracker's
// position fields on those axes. A ray within kAxisBand of running parallel
// to the lines never crosses them: its tracker is switched off.
void SetupTracker(GridTracker& t, std::int32_t along, std::int32_t across, std::int32_t p_along,
                  std::int32_t p_across, std::int32_t& at_along, std::int32_t& at_across) {
  if (along <= kAxisBand && along >= -kAxisBand) {
    t.dist = t.len = kTrackerOff;
    return;
  }
  const bool forward = along > 0;
  const std::int64_t slope = (forward ? std::int64_t{across} : -std::int64_t{across}) * kCell / along;
  t.step = forward ? kCell : -kCell;
  t.slope = ClampToInt32(slope);
  t.len = RoundSaturated(std::sqrt(static_cast<double>(slope) * static_cast<double>(slope) + 16777216.0));
  at_along = forward ? CellFloor(WrapAdd(p_along, kCell)) : CellFloor(p_along);
  const std::int64_t run = forward ? WrapSub(at_along, p_along) : WrapSub(p_along, at_along);
  at_across = WrapAdd(static_cast<std::int32_t>(run * slope / kCell), p_across);
  t.dist = ClampToInt32(run * t.len / kCell);
}

}  // namespace

ColumnRay SetupColumnRay(std::int32_t x) {
  ColumnRay ray{};
  const std::int64_t focal = Engine.focal > 0 ? Engine.focal : 1;
  const std::int64_t d = x - ImageBuffer.width / 2;
  const std::int64_t lat = d * kCell / focal;
  ray.pixfocal = RoundSaturated(std::sqrt(static_cast<double>(focal * focal + d * d)));

  const double a = Engine.renderangle;
  const double sa = std::sin(a);
  const double ca = std::cos(a);
  ray.dx = static_cast<std::int32_t>(std::trunc(static_cast<double>(lat) * ca - kCell * sa));
  ray.dy = static_cast<std::int32_t>(std::trunc(static_cast<double>(lat) * sa + kCell * ca));

  const std::int32_t px = Engine.rendercamera.x;
  const std::int32_t py = Engine.rendercamera.y;
  // x-lines (x = k x 4096) are crossed by the ray's x component, y-lines by
  // its y component; the same rule with the axes exchanged.
  SetupTracker(ray.xline, ray.dx, ray.dy, px, py, ray.xline.x, ray.xline.y);
  SetupTracker(ray.yline, ray.dy, ray.dx, py, px, ray.yline.y, ray.yline.x);
  return ray;
}

void RenderFrame() {
  const std::int32_t* fog = Engine.fogcolor16;
  Engine.fogpixel = static_cast<std::uint32_t>(((fog[0] * 256) & 0xFF0000) + (fog[1] & 0xFF00) +
                                               ((fog[2] / 256) & 0xFF));
  if (ImageBuffer.data == nullptr || ImageBuffer.width < 1 || ImageBuffer.height < 1) return;

  PrepareFrame();
  Engine.focal = FocalLength();
  Engine.cloudshift[0] = RoundWrapped(static_cast<float>(Engine.cloudspeed[0]) * Engine.fogt);
  Engine.cloudshift[1] = RoundWrapped(static_cast<float>(Engine.cloudspeed[1]) * Engine.fogt);
  RenderView();
  Engine.fogt = Engine.fogt + Engine.fogdt;
}

void PrepareFrame() {
  if (!Engine.flags.fovset) {
    commands::SetFovH(kQuarterTurn);
    // A quarter turn spans exactly twice the focal length; the single
    // angle's tangent lies a hair above 1.
    Engine.fovfactor = 0.5f;
    Engine.flags.fovset = true;
  }
  terrain::PrepareLandscape();

  const float ground = GroundHeight(static_cast<float>(Engine.rendercamera.x) / kCell,
                                    static_cast<float>(Engine.rendercamera.y) / kCell);
  const float lowest = (ground + kEyeAboveGround) * kCell;
  if (lowest > static_cast<float>(Engine.rendercamera.z)) Engine.rendercamera.z = RoundSaturated(lowest);
}

void RenderView() {
  FrameView view;
  view.width = ImageBuffer.width;
  view.rows = ImageBuffer.height;
  view.farlimit = FarLimit();
  view.halfrows = view.rows * kRowUnits / 2;
  view.zfine = static_cast<float>(Engine.rendercamera.z) / Engine.heightscale;
  view.texparam = Engine.texparam;
  view.cloudshift[0] = Engine.cloudshift[0];
  view.cloudshift[1] = Engine.cloudshift[1];

  if (Engine.interlacing < 1) Engine.interlacing = 1;
  Engine.interlacephase = (Engine.interlacephase + 1) % Engine.interlacing;
  if (Engine.interlacephase < 0) Engine.interlacephase = 0;

  // The heading within 0 .. 2 pi.
  const float turns = Engine.renderangle / std::numbers::pi_v<float> / 2.0f;
  float angle = (turns - std::trunc(turns)) * std::numbers::pi_v<float> * 2.0f;
  if (angle < 0) angle += kTwoPi;
  // A heading beyond the single range (1e39 reads as infinity) keeps no
  // direction; it is drawn as heading 0 rather than as a NaN ray.
  if (!std::isfinite(angle)) angle = 0;
  Engine.renderangle = angle;

  // A focal length below one pixel (a one-pixel port, a field of view near
  // a half turn) is drawn with the shortest one that works.
  if (Engine.focal < 1) Engine.focal = 1;

  Engine.clockstart = ReadClock();
  BuildSkyRows(view.rows);
  std::int32_t columns = 0;
  for (std::int32_t x = Engine.interlacephase; x < view.width; x += Engine.interlacing) {
    RenderColumn(x, view);
    NotifyProgress(x, x + 1);
    ++columns;
  }
  Engine.clockend = ReadClock();
  PrintTiming(columns);
}

}  // namespace engine
