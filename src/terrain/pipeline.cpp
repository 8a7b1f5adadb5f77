#include "terrain/pipeline.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ostream>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/state.h"
#include "shell/runtime.h"
#include "terrain/stages.h"
#include "terrain/worldmap.h"

namespace terrain {

float Roughness[kRoughnessEntries];

namespace {

// Relative amplitudes of one fractal layer, entry k for the level whose
// squares have side 2^(k+1) cells; the coarsest level (side 1024) is always 0.
struct LayerRoughness {
  FractalTarget target;
  float r[9];
};

// The eight layers in the order the stages call them.
constexpr LayerRoughness kLayers[] = {
    {FractalTarget::Height, {0.2f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.0f, 0.0f}},
    {FractalTarget::Tone, {0.0f, 0.2f, 0.2f, 0.2f, 0.2f, 0.3f, 0.1f, 0.05f, 0.0f}},
    {FractalTarget::Cloud0, {0.3f, 0.5f, 0.75f, 0.5f, 0.5f, 0.0f, 0.0f, 0.0f, 0.0f}},
    {FractalTarget::Cloud1, {0.3f, 0.5f, 0.6f, 0.5f, 0.1f, 0.0f, 0.0f, 0.0f, 0.0f}},
    {FractalTarget::Cloud2, {0.7f, 0.7f, 0.7f, 0.7f, 0.6f, 0.0f, 0.0f, 0.0f, 0.0f}},
    {FractalTarget::Cloud3, {0.3f, 0.7f, 0.7f, 0.5f, 0.4f, 0.1f, 0.2f, 0.1f, 0.1f}},
    {FractalTarget::Tex0, {0.01f, 0.02f, 0.02f, 0.02f, 0.02f, 0.01f, 0.0f, 0.0f, 0.0f}},
    {FractalTarget::Tex1, {0.4f, 0.45f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.0f}},
};
static_assert(sizeof kLayers / sizeof kLayers[0] == 8, "one row per fractal layer");

// The random source in closed form: k steps of the generator at once are
// state * A_k + C_k, which lets several draws be formed side by side.
constexpr std::uint32_t kRandomMul = 134775813u;
constexpr int kLanes = 8;

struct Jump {
  std::uint32_t mul;
  std::uint32_t add;
};

constexpr Jump JumpOf(int steps) {
  Jump j{1u, 0u};
  for (int i = 0; i < steps; ++i) {
    j.mul = j.mul * kRandomMul;
    j.add = j.add * kRandomMul + 1u;
  }
  return j;
}
constexpr Jump kLaneJump = JumpOf(kLanes);

#if defined(__SSE2__)
// Low 32 bits of four 32 x 32 products.
__m128i MulLow(__m128i a, __m128i b) {
  const __m128i even = _mm_mul_epu32(a, b);
  const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
  return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                            _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}

// High 32 bits of four 32 x 32 products with the same n: Random's result.
__m128i MulHigh(__m128i a, __m128i n) {
  const __m128i even = _mm_mul_epu32(a, n);
  const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), n);
  return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 3, 1)),
                            _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 3, 1)));
}
#endif

// The state `steps` draws after `state`, by composing the step with itself.
std::uint32_t Skip(std::uint32_t state, std::uint32_t steps) {
  Jump j{kRandomMul, 1u};
  for (; steps != 0; steps >>= 1) {
    if (steps & 1u) state = state * j.mul + j.add;
    j.add = j.add * j.mul + j.add;
    j.mul = j.mul * j.mul;
  }
  return state;
}

// The next `count` displacements of a pass from the generator state `state`,
// Random(2a + 1) - a each, in the order the generator yields them; `state`
// ends where `count` single Random calls would have left it.
void DrawDisplacements(std::uint32_t& state, std::int32_t* out, int count, std::int32_t a) {
  const auto n = static_cast<std::uint32_t>(2 * a + 1);
  std::uint32_t s = state;
  int i = 0;
  if (count >= kLanes) {
    std::uint32_t lane[kLanes];
    for (int k = 0; k < kLanes; ++k) {
      s = s * kRandomMul + 1u;
      lane[k] = s;
    }
#if defined(__SSE2__)
    __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lane));
    __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lane + 4));
    const __m128i mul = _mm_set1_epi32(static_cast<std::int32_t>(kLaneJump.mul));
    const __m128i add = _mm_set1_epi32(static_cast<std::int32_t>(kLaneJump.add));
    const __m128i nn = _mm_set1_epi32(static_cast<std::int32_t>(n));
    const __m128i aa = _mm_set1_epi32(a);
    __m128i used = hi;
    for (; i + kLanes <= count; i += kLanes) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_sub_epi32(MulHigh(lo, nn), aa));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4), _mm_sub_epi32(MulHigh(hi, nn), aa));
      used = hi;
      lo = _mm_add_epi32(MulLow(lo, mul), add);
      hi = _mm_add_epi32(MulLow(hi, mul), add);
    }
    s = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(used, _MM_SHUFFLE(3, 3, 3, 3))));
#else
    for (; i + kLanes <= count; i += kLanes) {
      for (int k = 0; k < kLanes; ++k) {
        out[i + k] = static_cast<std::int32_t>((static_cast<std::uint64_t>(lane[k]) * n) >> 32) - a;
      }
      s = lane[kLanes - 1];
      for (int k = 0; k < kLanes; ++k) lane[k] = lane[k] * kLaneJump.mul + kLaneJump.add;
    }
#endif
  }
  for (; i < count; ++i) {
    s = s * kRandomMul + 1u;
    out[i] = static_cast<std::int32_t>((static_cast<std::uint64_t>(s) * n) >> 32) - a;
  }
  state = s;
}

// One fractal target: a signed 16-bit field in every element of a wrapping
// 1024 x 1024 grid, `Stride` 16-bit words from one element to the next.
template <int Stride>
class Field {
 public:
  explicit Field(std::int16_t* base) : base_(base) {}
  std::int16_t* Row(int y) const { return base_ + (y & kMapMask) * (kMapSize * Stride); }
  static std::int32_t At(const std::int16_t* row, int x) { return row[(x & kMapMask) * Stride]; }
  static void Put(std::int16_t* row, int x, std::int32_t v) {
    row[x * Stride] = static_cast<std::int16_t>(v);  // keeps the low 16 bits
  }

 private:
  std::int16_t* base_;
};

// Displacements of the row being computed, and of a row held back until the
// rows it depends on are done; a row holds at most 1024 points.
std::int32_t RowDraws[kMapSize];
std::int32_t HeldDraws[kMapSize];

// Points (x0 + i * step, y) of one row; each becomes the mean of its four
// diagonal neighbours at distance `half` plus its displacement.
template <int Stride>
void DiagonalRow(const Field<Stride>& f, int y, int x0, int step, int half, const std::int32_t* draws) {
  using F = Field<Stride>;
  const std::int16_t* up = f.Row(y - half);
  const std::int16_t* down = f.Row(y + half);
  std::int16_t* row = f.Row(y);
  const auto wrapped = [&](int x) {
    return F::At(up, x - half) + F::At(up, x + half) + F::At(down, x - half) + F::At(down, x + half);
  };
  int x = x0;
  // Left edge: x - half wraps when x is 0.
  if (x - half < 0) {
    F::Put(row, x, wrapped(x) / 4 + *draws++);
    x += step;
  }
  // Interior: no wrap needed.
  for (; x + half < kMapSize; x += step) {
    const int l = (x - half) * Stride;
    const int r = (x + half) * Stride;
    const std::int32_t d = up[l] + up[r] + down[l] + down[r];
    F::Put(row, x, d / 4 + *draws++);
  }
  // Right edge: x + half wraps to column 0.
  for (; x < kMapSize; x += step) F::Put(row, x, wrapped(x) / 4 + *draws++);
}

// Points (x0 + i * step, y) of one row; each becomes the mean of its four
// axis neighbours at distance `half` plus its displacement.
template <int Stride>
void PlusRow(const Field<Stride>& f, int y, int x0, int step, int half, const std::int32_t* draws) {
  using F = Field<Stride>;
  const std::int16_t* up = f.Row(y - half);
  const std::int16_t* down = f.Row(y + half);
  std::int16_t* row = f.Row(y);
  const auto wrapped = [&](int x) {
    return up[x * Stride] + F::At(row, x - half) + F::At(row, x + half) + down[x * Stride];
  };
  int x = x0;
  if (x - half < 0) {
    F::Put(row, x, wrapped(x) / 4 + *draws++);
    x += step;
  }
  for (; x + half < kMapSize; x += step) {
    const std::int32_t p = up[x * Stride] + row[(x - half) * Stride] + row[(x + half) * Stride] + down[x * Stride];
    F::Put(row, x, p / 4 + *draws++);
  }
  for (; x < kMapSize; x += step) F::Put(row, x, wrapped(x) / 4 + *draws++);
}

// One level of the displacement, side `step`. The four passes in row-major
// order are: centres (rows half, half + step, ...), corners (rows 0, step,
// ...), edge midpoints, then corners and centres again (both over rows 0,
// half, 2 half, ...). Every row of a pass has m = 1024 / step points, so the
// draws of any row lie at a known place in the random sequence; that lets the
// passes run two at a time, row by row, while each point keeps its own draw:
// a corner row follows the centre rows around it, a second-visit row the
// edge rows around it, and row 0 of the later pass, which needs the last row
// of the earlier one across the seam, comes last.
template <int Stride>
void DisplaceLevel(const Field<Stride>& f, int step, const LevelAmplitudes& a) {
  const int half = step / 2;
  const int m = kMapSize / step;
  const auto rows = static_cast<std::uint32_t>(m);

  // Centres and corners: the corner pass draws after all m rows of centres.
  std::uint32_t centre = randstate;
  std::uint32_t corner = Skip(centre, rows * rows);
  DrawDisplacements(corner, HeldDraws, m, a.a2);
  DrawDisplacements(centre, RowDraws, m, a.a1);
  DiagonalRow(f, half, half, step, half, RowDraws);
  for (int y = step; y < kMapSize; y += step) {
    DrawDisplacements(centre, RowDraws, m, a.a1);
    DiagonalRow(f, y + half, half, step, half, RowDraws);
    DrawDisplacements(corner, RowDraws, m, a.a2);
    DiagonalRow(f, y, 0, step, half, RowDraws);
  }
  DiagonalRow(f, 0, 0, step, half, HeldDraws);

  // Edge midpoints, then corners and centres again: 2m rows each.
  const auto edgeStart = [&](int y) { return y % step == 0 ? half : 0; };
  std::uint32_t edge = corner;
  std::uint32_t again = Skip(edge, 2 * rows * rows);
  DrawDisplacements(again, HeldDraws, m, a.a2);
  for (int y = 0; y <= half; y += half) {
    DrawDisplacements(edge, RowDraws, m, a.a2);
    PlusRow(f, y, edgeStart(y), step, half, RowDraws);
  }
  for (int y = half; y < kMapSize; y += half) {
    if (y + half < kMapSize) {
      DrawDisplacements(edge, RowDraws, m, a.a2);
      PlusRow(f, y + half, edgeStart(y + half), step, half, RowDraws);
    }
    DrawDisplacements(again, RowDraws, m, a.a2);
    PlusRow(f, y, half - edgeStart(y), step, half, RowDraws);
  }
  PlusRow(f, 0, 0, step, half, HeldDraws);
  randstate = again;
}

// Displacement on the wrapping grid, coarse to fine.
template <int Stride>
void Displace(std::int16_t* base, const float* roughness) {
  const Field<Stride> f(base);
  Field<Stride>::Put(f.Row(0), 0, 0);
  int level = 10;
  for (int step = kMapSize; step >= 2; step /= 2) {
    --level;
    DisplaceLevel(f, step, AmplitudesOf(roughness, level));
  }
}

void RunLayer(const LayerRoughness& layer) {
  for (int k = 0; k < 9; ++k) Roughness[k] = layer.r[k];
  FractalLayer(layer.target, Roughness);
}

// Heights and tones: the landscape and detail fractals, shaped and turned
// into tones stretched over the colour map.
void MakeLandscape() {
  std::ostream& out = shell::Console();
  out << "generating landscape " << std::flush;
  RunLayer(kLayers[0]);
  RunLayer(kLayers[1]);
  ShapeHeights();
  DeriveTone();
  out << "done.\n";
  engine::StageFlags& flags = engine::Engine.flags;
  flags.landscapeready = true;
  flags.shadingready = false;
  flags.bumpready = false;
}

// Scratch tables indexed by a 16-bit value + 32768: each distinct height or
// tone is converted once instead of once per cell.
std::int16_t ValueTable[65536];

}  // namespace

// Relative roughness x 64 height units per cell x the square's side
// 2^(level+1), formed in single precision.
LevelAmplitudes AmplitudesOf(const float* roughness, int level) {
  const float amplitude = roughness[level] * 64.0f * static_cast<float>(2 << level);
  const float diagonal = amplitude * static_cast<float>(1.0 / std::sqrt(2.0));
  return {static_cast<std::int32_t>(std::nearbyint(amplitude)),
          static_cast<std::int32_t>(std::nearbyint(diagonal))};
}

void RunFractalLayer(FractalTarget target) {
  for (const LayerRoughness& layer : kLayers) {
    if (layer.target == target) RunLayer(layer);
  }
}

void PrepareLandscape() {
  engine::StageFlags& flags = engine::Engine.flags;
  randstate = static_cast<std::uint32_t>(engine::Engine.setseed);
  for (float& r : Roughness) r = 0.0f;

  if (!flags.landscapeready) MakeLandscape();
  if (!flags.shadingready) ShadeLandscape();
  if (!flags.bumpready) MakeBumpMap();
  if (!flags.cloudsready) MakeClouds();
  shell::Console() << '\n';
  if (!flags.lightnessready) MakeLightnessTables();
  if (!flags.texturesready) MakeTextures();
  if (!flags.colormapready) MakeDefaultColorMap();
}

void FractalLayer(FractalTarget target, const float* roughness) {
  switch (target) {
    case FractalTarget::Height: return Displace<8>(&WorldMap[0].height, roughness);
    case FractalTarget::Tone: return Displace<8>(&WorldMap[0].tone, roughness);
    case FractalTarget::Cloud0: return Displace<8>(&WorldMap[0].cloud[0], roughness);
    case FractalTarget::Cloud1: return Displace<8>(&WorldMap[0].cloud[1], roughness);
    case FractalTarget::Cloud2: return Displace<8>(&WorldMap[0].cloud[2], roughness);
    case FractalTarget::Cloud3: return Displace<8>(&WorldMap[0].cloud[3], roughness);
    case FractalTarget::Tex0: return Displace<2>(&TextureMap[0].tex[0], roughness);
    case FractalTarget::Tex1: return Displace<2>(&TextureMap[0].tex[1], roughness);
  }
}

// Presses heights below 0 toward 0 and keeps high ground nearly unchanged,
// which flattens valley floors into plains.
void ShapeHeights() {
  for (int v = -32768; v <= 32767; ++v) {
    const double h = v;
    const double shaped = h * 0.5 * (1.0 + h / std::sqrt(h * h + 10240000.0));
    const float single = static_cast<float>(shaped);
    ValueTable[v + 32768] = static_cast<std::int16_t>(static_cast<std::int32_t>(std::nearbyint(single)));
  }
  for (MapCell& cell : WorldMap) cell.height = ValueTable[cell.height + 32768];
}

// Tone = height minus the current tone, stretched so that the smallest value
// becomes 0 and the largest 16320 (colour-map row 1020 x 16).
void DeriveTone() {
  // One sweep forms the differences and finds their range.
  std::int32_t max = static_cast<std::int16_t>(WorldMap[0].height - WorldMap[0].tone);
  std::int32_t min = max;
  for (MapCell& cell : WorldMap) {
    const auto difference = static_cast<std::int16_t>(cell.height - cell.tone);
    cell.tone = difference;
    max = std::max<std::int32_t>(max, difference);
    min = std::min<std::int32_t>(min, difference);
  }
  if (max == min) {
    // A perfectly even difference has no range to stretch: every cell takes
    // the lowest tone, as the smallest value would.
    for (MapCell& cell : WorldMap) cell.tone = 0;
    return;
  }
  const long double scale = 16320.0L / static_cast<long double>(max - min);
  const float scaleS = static_cast<float>(scale);
  const float offset = static_cast<float>(-scale * static_cast<long double>(min));
  for (std::int32_t v = min; v <= max; ++v) {
    const long double t = static_cast<long double>(v) * scaleS + static_cast<long double>(offset);
    ValueTable[v + 32768] = static_cast<std::int16_t>(static_cast<std::int32_t>(std::nearbyintl(t)));
  }
  for (MapCell& cell : WorldMap) cell.tone = ValueTable[cell.tone + 32768];
}

}  // namespace terrain
