#include "engine/span.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ostream>

#include "shell/runtime.h"
#include "terrain/worldmap.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace engine {

ColumnState Column;

namespace {

using terrain::ColorMap;
using terrain::SkyLightTable;
using terrain::SunLightTable;
using terrain::TextureMap;
using terrain::TextureSlopes;

// Texel coordinates are the top bits of u and v: 16 fraction bits, then the
// texel within the 1024 x 1024 texture.
constexpr int kTexelShift = 16;
constexpr std::uint32_t kTexelMask = 1023;
// Bump heights: m1 x b (bump byte x 4096) / 1048576 = m1 x bump / 256.
constexpr std::int64_t kBumpDivisor = 1048576;
// Keeps the colour-map row of (|e| x 256 + t) div 256 in multiples of 256.
constexpr std::int32_t kColorRowMask = 1023 * 256;
constexpr std::int32_t kLastColorEntry = terrain::kColorMapEntries - 1;

// Sunlight that still reaches a surface deep in the shadow: the air and the
// lit slopes around it scatter some of it in.
constexpr float kShadowSunShare = 0.4f;

// The scalar colour path, for processors without SSE2.
[[maybe_unused]] inline std::int32_t Clamp255(std::int32_t v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

[[maybe_unused]] inline std::int32_t Channel(std::uint32_t pixel, int shift) {
  return static_cast<std::int32_t>((pixel >> shift) & 255u);
}

// The 32-bit difference b - a; texture coordinates wrap, so their
// difference does too.
inline std::int32_t WrapDiff(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(b) - static_cast<std::uint32_t>(a));
}

// Change per row of a value interpolated over a span: k is 256 / span height.
inline std::int32_t PerRow(std::int32_t a, std::int32_t b, float k) {
  return RoundSingle(static_cast<float>(WrapDiff(a, b)) * k);
}

inline void Step(std::int32_t& value, std::int32_t inc) {
  value = static_cast<std::int32_t>(static_cast<std::uint32_t>(value) + static_cast<std::uint32_t>(inc));
}

// A tone end outside 0..16320 x 4096 is reported and clamped; the span is
// still drawn.
[[gnu::noinline, gnu::cold]] std::int32_t ReportTone(std::int32_t tone, const char* below, const char* above) {
  if (tone < 0) {
    shell::Console() << below << '\n';
    return 0;
  }
  if (tone > kMaxFineTone) {
    shell::Console() << above << '\n';
    return kMaxFineTone;
  }
  return tone;
}

// Tone ends lie in range for every span of a finished landscape: checked in
// line, reported out of line.
inline std::int32_t CheckTone(std::int32_t tone, const char* below, const char* above) {
  if (tone >= 0 && tone <= kMaxFineTone) return tone;
  return ReportTone(tone, below, above);
}

// The fog colour's part of a pixel at this density: density x fogcolor16 / 65536.
inline std::int32_t FogShare(std::int32_t density, std::int32_t fog16) {
  return static_cast<std::int32_t>((static_cast<std::int64_t>(density) * fog16) >> 16);
}

#if defined(__SSE2__)
// The three channels of a colour are handled side by side in the lanes of a
// vector, in the order of the pixel's bytes: blue, green, red, and a fourth
// lane that stays 0. Each lane sees exactly the single-precision operations
// of the formula, so the result is the same as channel by channel.
using Lanes = __m128;

// r, g, b of a light entry or row colour, as blue, green, red, 0.
inline Lanes ColourLanes(const float* rgb) {
  const __m128 rg = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(rgb));
  const __m128 rgb0 = _mm_movelh_ps(rg, _mm_load_ss(rgb + 2));
  return _mm_shuffle_ps(rgb0, rgb0, _MM_SHUFFLE(3, 0, 1, 2));
}

inline Lanes PixelLanes(std::uint32_t c) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i bytes = _mm_cvtsi32_si128(static_cast<int>(c));
  return _mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero));
}

// Round to nearest (ties to even), add the fog's part, limit to 0..255 and
// pack as 0x00RRGGBB.
inline std::uint32_t PackPixel(Lanes lit, __m128i fog) {
  __m128i v = _mm_add_epi32(_mm_cvtps_epi32(lit), fog);
  v = _mm_packs_epi32(v, v);
  v = _mm_packus_epi16(v, v);
  return static_cast<std::uint32_t>(_mm_cvtsi128_si32(v));
}

inline __m128i FogLanes(std::int32_t density) {
  const std::int32_t* fog16 = Engine.fogcolor16;
  return _mm_setr_epi32(FogShare(density, fog16[2]), FogShare(density, fog16[1]),
                        FogShare(density, fog16[0]), 0);
}
#endif

// The fog blend of one density: the share of the lit colour that survives and
// the fog colour's contribution per channel. Rebuilt only when the density
// changes, which is rare within a span.
struct FogBlend {
  float keep;
#if defined(__SSE2__)
  __m128 keeplanes;
  __m128i fog;
#else
  std::int32_t fog[3];
#endif

  explicit FogBlend(std::int32_t density) {
    keep = static_cast<float>(kFullFog - density) / 255.0f;
#if defined(__SSE2__)
    keeplanes = _mm_set1_ps(keep);
    fog = FogLanes(density);
#else
    for (int c = 0; c < 3; ++c) fog[c] = FogShare(density, Engine.fogcolor16[c]);
#endif
  }
};

// The interpolated values of a span at one row.
struct SpanPoint {
  std::int32_t u, v, gx, gy, b, t, d;
};

inline std::uint32_t TexelAt(std::int32_t u, std::int32_t v) {
  return ((static_cast<std::uint32_t>(v) >> kTexelShift) & kTexelMask) * 1024u +
         ((static_cast<std::uint32_t>(u) >> kTexelShift) & kTexelMask);
}

// One ground pixel: texel, bump height, perturbed slope, light, colour map,
// fog.
inline std::uint32_t ShadedPixel(const SpanPoint& p, const FogBlend& blend) {
  // Texel under the pixel.
  const std::uint32_t texel = TexelAt(p.u, p.v);
  const std::int32_t m0 = TextureMap[texel].tex[0];
  const std::int32_t m1 = TextureMap[texel].tex[1];
  const std::uint16_t s0 = TextureSlopes[texel].slope[0];
  const std::uint16_t s1 = TextureSlopes[texel].slope[1];

  // Bump height; m1 x b reaches 2^35, so the product is formed in 64 bits.
  const std::int32_t e =
      m0 + static_cast<std::int32_t>(static_cast<std::int64_t>(m1) * p.b / kBumpDivisor);

  // Surface slope: the terrain's, perturbed by both texture layers; 32 stands
  // for a rise of one cell per cell.
  const std::int32_t s0x = static_cast<std::int8_t>(s0 & 255u);
  const std::int32_t s0y = static_cast<std::int8_t>(s0 >> 8);
  const std::int32_t s1x = static_cast<std::int8_t>(s1 & 255u);
  const std::int32_t s1y = static_cast<std::int8_t>(s1 >> 8);
  const std::int32_t nx = (s0x * 4096 + (s1x * p.b) / 256 + p.gx / 2) / 4096;
  const std::int32_t ny = (s0y * 4096 + (s1y * p.b) / 256 + p.gy / 2) / 4096;

  // Ground colour by tone (row, shifted by the bump height) and steepness
  // (column). A very steep pixel near the largest tone would index past the
  // table; it takes the table's last colour.
  const std::int32_t q = (std::abs(e) * 256 + p.t) / 256;
  std::int32_t index = (q & kColorRowMask) + std::abs(nx) + std::abs(ny);
  if (index > kLastColorEntry) index = kLastColorEntry;
  const std::uint32_t c = ColorMap[index];

  // Light for that orientation: sky light always, sunlight unless the
  // surface lies deep under the shadow surface. Then light and fog.
  const std::int32_t l = (nx & 255) + (ny & 255) * 256;
  const terrain::LightEntry& sun = SunLightTable[l];
  const terrain::LightEntry& sky = SkyLightTable[l];
  const float share = SunShare(p.d);
#if defined(__SSE2__)
  const Lanes light = _mm_add_ps(_mm_mul_ps(ColourLanes(&sun.r), _mm_set1_ps(share)), ColourLanes(&sky.r));
  return PackPixel(_mm_mul_ps(_mm_mul_ps(PixelLanes(c), blend.keeplanes), light), blend.fog);
#else
  const float lr = sun.r * share + sky.r;
  const float lg = sun.g * share + sky.g;
  const float lb = sun.b * share + sky.b;
  const std::int32_t r = Clamp255(RoundSingle(static_cast<float>(Channel(c, 16)) * blend.keep * lr) + blend.fog[0]);
  const std::int32_t g = Clamp255(RoundSingle(static_cast<float>(Channel(c, 8)) * blend.keep * lg) + blend.fog[1]);
  const std::int32_t bl = Clamp255(RoundSingle(static_cast<float>(Channel(c, 0)) * blend.keep * lb) + blend.fog[2]);
  return static_cast<std::uint32_t>(r * 65536 + g * 256 + bl);
#endif
}

}  // namespace

float SunShare(std::int32_t depth) {
  // Branch-free, as shaded pixels meet the shadow's edge at random: the fade
  // is at least 1 down to one cell (share 1 exactly) and at most 0 from two
  // cells on (the floor exactly); between, depth is exact in a single.
  const float fade = (static_cast<float>(2 * kFineCell) - static_cast<float>(depth)) * (1.0f / kFineCell);
  const float share = kShadowSunShare + (1.0f - kShadowSunShare) * fade;
  return std::min(1.0f, std::max(kShadowSunShare, share));
}

void DrawSpan(std::int32_t x, std::int32_t y1, std::int32_t y2, std::int32_t ua, std::int32_t va,
              std::int32_t ub, std::int32_t vb, std::int32_t gxa, std::int32_t gya,
              std::int32_t gxb, std::int32_t gyb, std::int32_t ba, std::int32_t bb,
              std::int32_t ta, std::int32_t tb, std::int32_t da, std::int32_t db) {
  const std::int32_t rows = ImageBuffer.height;

  // Start inside the picture.
  if (y1 < 0) y1 = 0;
  if (y1 > (rows - 1) * kRowUnits) y1 = (rows - 1) * kRowUnits;

  // Tone ends.
  ta = CheckTone(ta, "Wooops[ h1<0] !", "Wooops[ h1>max] !");
  tb = CheckTone(tb, "Wooops[h2<0] !", "Wooops[h2>max] !");

  // Per-row increments, computed once for the span.
  const std::int32_t height = y2 - y1 > 0 ? y2 - y1 : 1;
  const float k = 256.0f / static_cast<float>(height);
  const SpanPoint step{PerRow(ua, ub, k),   PerRow(va, vb, k), PerRow(gxa, gxb, k),
                       PerRow(gya, gyb, k), PerRow(ba, bb, k), PerRow(ta, tb, k),
                       PerRow(da, db, k)};
  SpanPoint p{ua, va, gxa, gya, ba, ta, da};

  std::int32_t r = y1 / kRowUnits;
  std::int32_t r2 = y2 / kRowUnits;
  if (r2 < 0) r2 = 0;
  if (r2 > rows) r2 = rows;

  std::uint32_t* column = reinterpret_cast<std::uint32_t*>(
      ImageBuffer.data + static_cast<std::ptrdiff_t>(x) * ImageBuffer.colstride);
  const std::int32_t* light = LightBuffer.data();
  const std::uint32_t fogpixel = Engine.fogpixel;
  std::int32_t density = Engine.fogdensity;
  FogBlend blend(density);

  // The rows, bottom up; the row r1 is always drawn.
  for (;;) {
    if (light[r] != 0) {
      density += light[r];
      blend = FogBlend(density);
    }
    column[r] = density >= kFullFog ? fogpixel : ShadedPixel(p, blend);
    if (++r >= r2) break;
    Step(p.u, step.u);
    Step(p.v, step.v);
    Step(p.gx, step.gx);
    Step(p.gy, step.gy);
    Step(p.b, step.b);
    Step(p.t, step.t);
    Step(p.d, step.d);
  }
  Engine.fogdensity = density;
}

std::uint32_t SkyPixel(const Color& row, std::int32_t density) {
  if (density >= kFullFog) return Engine.fogpixel;
  const float keep = static_cast<float>(kFullFog - density);
#if defined(__SSE2__)
  return PackPixel(_mm_mul_ps(ColourLanes(&row.r), _mm_set1_ps(keep)), FogLanes(density));
#else
  const std::int32_t r = Clamp255(RoundSingle(row.r * keep) + FogShare(density, Engine.fogcolor16[0]));
  const std::int32_t g = Clamp255(RoundSingle(row.g * keep) + FogShare(density, Engine.fogcolor16[1]));
  const std::int32_t b = Clamp255(RoundSingle(row.b * keep) + FogShare(density, Engine.fogcolor16[2]));
  return static_cast<std::uint32_t>(r * 65536 + g * 256 + b);
#endif
}

void DrawSky(std::int32_t x, std::int32_t from) {
  std::uint32_t* column = reinterpret_cast<std::uint32_t*>(
      ImageBuffer.data + static_cast<std::ptrdiff_t>(x) * ImageBuffer.colstride);
  const std::int32_t* light = LightBuffer.data();
  const Color* sky = SkyRows.data();
  std::int32_t density = Engine.fogdensity;
#if defined(__SSE2__)
  // The fog's part changes only where the density does.
  const std::uint32_t fogpixel = Engine.fogpixel;
  __m128i fog = FogLanes(density);
  __m128 keep = _mm_set1_ps(static_cast<float>(kFullFog - density));
  for (std::int32_t r = from; r < ImageBuffer.height; ++r) {
    if (light[r] != 0) {
      density += light[r];
      fog = FogLanes(density);
      keep = _mm_set1_ps(static_cast<float>(kFullFog - density));
    }
    column[r] = density >= kFullFog ? fogpixel : PackPixel(_mm_mul_ps(ColourLanes(&sky[r].r), keep), fog);
  }
#else
  for (std::int32_t r = from; r < ImageBuffer.height; ++r) {
    density += light[r];
    column[r] = SkyPixel(sky[r], density);
  }
#endif
  Engine.fogdensity = density;
}

}  // namespace engine
