#include "terrain/import.h"

#include <cmath>
#include <cstdint>
#include <new>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "commands/handlers.h"
#include "commands/patterns.h"
#include "engine/state.h"
#include "script/diagnostics.h"
#include "script/params.h"
#include "script/tokenizer.h"
#include "shell/files.h"
#include "shell/runtime.h"
#include "terrain/pipeline.h"

namespace terrain {
namespace {

// Samples are little-endian whatever the machine; reading them byte by byte
// also makes odd strides safe.
struct UInt8Sample {
  static std::int32_t Read(const std::uint8_t* p) { return p[0]; }
};
struct Int8Sample {
  static std::int32_t Read(const std::uint8_t* p) { return static_cast<std::int8_t>(p[0]); }
};
struct UInt16Sample {
  static std::int32_t Read(const std::uint8_t* p) { return p[0] | (p[1] << 8); }
};
struct Int16Sample {
  static std::int32_t Read(const std::uint8_t* p) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
  }
};

const std::uint8_t* SampleAt(const RasterDesc& src, std::int32_t i, std::int32_t j) {
  return src.data + static_cast<std::ptrdiff_t>(j) * src.rowstride +
         static_cast<std::ptrdiff_t>(i) * src.colstride;
}

template <typename Sample>
long double SumAs(const RasterDesc& src) {
  long double sum = 0;
  for (std::int32_t j = 0; j < src.height; ++j) {
    for (std::int32_t i = 0; i < src.width; ++i) sum += Sample::Read(SampleAt(src, i, j));
  }
  return sum;
}

// (sample + bias) x scale64 in double precision, rounded to a single, then
// to the nearest integer with ties to even; the cell keeps its low 16 bits.
// A single of 2^62 or more has no nonzero low 16 bits, and a value that is
// not finite has none to keep: both store 0.
std::int16_t HeightOf(std::int32_t sample, float bias, float scale64) {
  const float v = static_cast<float>((static_cast<double>(sample) + bias) * scale64);
  if (!(std::fabs(v) < 0x1p62f)) return 0;
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(std::llrint(v)));
}

template <typename Sample>
void WriteHeights(const ImportRect& rect, const RasterDesc& src, float bias, float scale64) {
  for (std::int32_t j = 0; j < rect.h; ++j) {
    const std::int32_t y = rect.y0 + j * rect.dy;
    for (std::int32_t i = 0; i < rect.w; ++i) {
      const std::int32_t x = rect.x0 + i * rect.dx;
      WorldMap[y * kMapSize + x].height = HeightOf(Sample::Read(SampleAt(src, i, j)), bias, scale64);
    }
  }
}

// Cell positions along one axis are linear in the sample number, so the
// first and the last sample bound them all.
bool AxisInsideMap(std::int32_t first, std::int32_t step, std::int32_t count) {
  const std::int64_t last = first + static_cast<std::int64_t>(count - 1) * step;
  return first >= 0 && first < kMapSize && last >= 0 && last < kMapSize;
}

}  // namespace

long double SumSamples(const RasterDesc& src) {
  switch (src.sampletype) {
    case kUInt8: return SumAs<UInt8Sample>(src);
    case kInt8: return SumAs<Int8Sample>(src);
    case kUInt16: return SumAs<UInt16Sample>(src);
    case kInt16: return SumAs<Int16Sample>(src);
    default: return 0;
  }
}

// Writes (sample + bias) x scale x 64 into the cells of the rectangle,
// addressed without wrap-around, and derives the tone from the new heights.
// Every destination cell is checked before the first height is written: a
// rectangle that leaves the map on any side ends the program with run-time
// error 255 and leaves the map untouched.
void ImportHeightfield(const ImportRect& rect, const RasterDesc& src, float bias, float scale) {
  const bool empty = rect.w <= 0 || rect.h <= 0;
  if (!empty && (!AxisInsideMap(rect.x0, rect.dx, rect.w) || !AxisInsideMap(rect.y0, rect.dy, rect.h))) {
    shell::RuntimeError(shell::kRangeCheck);
  }
  engine::StageFlags& flags = engine::Engine.flags;
  flags.landscapeready = true;  // the generator must not overwrite the import
  flags.shadingready = false;
  flags.bumpready = false;
  const float scale64 = scale * kHeightUnitsPerCell;
  switch (src.sampletype) {
    case kUInt8: WriteHeights<UInt8Sample>(rect, src, bias, scale64); break;
    case kInt8: WriteHeights<Int8Sample>(rect, src, bias, scale64); break;
    case kUInt16: WriteHeights<UInt16Sample>(rect, src, bias, scale64); break;
    case kInt16: WriteHeights<Int16Sample>(rect, src, bias, scale64); break;
    default: break;
  }
  DeriveTone();
}

}  // namespace terrain

namespace commands {
namespace {

struct TypeWord {
  std::string_view word;
  terrain::SampleType type;
  std::int32_t bytes;
};
constexpr TypeWord kTypeWords[] = {
    {"UINT8", terrain::kUInt8, 1},
    {"INT8", terrain::kInt8, 1},
    {"UINT16", terrain::kUInt16, 2},
    {"INT16", terrain::kInt16, 2},
};

// Inside the import's fatal section a reported error ends the program.
[[noreturn]] void Fatal(std::string_view message) {
  script::ReportError(message);
  shell::Halt(1);  // not reached while the section is open
}

std::int32_t NextInt() {
  script::TTOKEN entry;
  script::NextParam(entry);
  return script::ParamInt(entry);
}

// The file bytes that the samples need, lo up to one before hi, and the
// parameters that locate sample (0, 0) in them.
struct Layout {
  terrain::ImportRect rect;
  std::int32_t sx, sy, ofs;
  std::int32_t bytes;
  std::int64_t lo, hi;
};

// Sixteen times the map: room for any layout that reaches every cell, even
// with repeated samples, and a bound on the work of one statement.
constexpr std::int64_t kMaxImportSamples = 16 * terrain::kMapCells;

// The nine integers in statement order.
Layout NextLayout() {
  Layout l{};
  l.rect.x0 = NextInt();
  l.rect.y0 = NextInt();
  l.rect.dx = NextInt();
  l.rect.dy = NextInt();
  l.rect.w = NextInt();
  l.rect.h = NextInt();
  l.sx = NextInt();
  l.sy = NextInt();
  l.ofs = NextInt();
  return l;
}

// The sample type, compared byte for byte: a bare word arrives in upper
// case, a string keeps its case.
const TypeWord& NextTypeWord() {
  script::TTOKEN entry;
  script::NextParam(entry);
  for (const TypeWord& t : kTypeWords) {
    if (entry.vs == t.word) return t;
  }
  Fatal("Supported datatypes: UINT8,INT8,UINT16,INT16  ");
}

void ComputeRange(Layout& l) {
  const std::int64_t along_row = static_cast<std::int64_t>(l.rect.w - 1) * l.sx;
  const std::int64_t across_rows = static_cast<std::int64_t>(l.rect.h - 1) * l.sy;
  l.lo = l.ofs + (l.sx < 0 ? along_row : 0) + (l.sy < 0 ? across_rows : 0);
  l.hi = l.ofs + (l.sx > 0 ? along_row : 0) + (l.sy > 0 ? across_rows : 0) + l.bytes;
}

// Reads bytes lo..hi-1 of the file in one call. Every check comes first, so
// a refused import never reaches the map.
std::vector<std::uint8_t> ReadSampleBytes(const std::string& name, const Layout& l) {
  std::FILE* file = shell::OpenOrDie(name, "rb");
  if (shell::FileSizeOrDie(file) < l.hi) {
    shell::CloseOrDie(file);
    Fatal("You can't read outside file (after file end)");
  }
  std::vector<std::uint8_t> buffer;
  try {
    buffer.resize(static_cast<std::size_t>(l.hi - l.lo));
  } catch (const std::bad_alloc&) {
    std::fclose(file);
    shell::RuntimeError(203);  // heap overflow, as the run-time reports it
  }
  shell::SeekOrDie(file, l.lo);
  shell::ReadOrDie(file, buffer.data(), buffer.size());
  shell::CloseOrDie(file);
  return buffer;
}

}  // namespace

// LOAD2DHEIGHTFIELD_LANDSCAPE x0, y0, dx, dy, w, h, sx, sy, ofs, type, bias,
// scale, 'file'; every error after the count check ends the program.
void RunProcLOAD2DHEIGHTFIELD_LANDSCAPE() {
  script::Tokenizer.NextToken();
  script::ReadParams();
  script::TraceCall("RunProcLOAD2DHEIGHTFIELD_LANDSCAPE");
  if (script::ParamCount != 13) {
    script::ReportError("invalid parameters list");
    return;
  }
  script::BeginFatalErrors();
  Layout l = NextLayout();
  const TypeWord& type = NextTypeWord();
  l.bytes = type.bytes;
  script::TTOKEN entry;
  script::NextParam(entry);
  const bool auto_bias = entry.vs == "?" || entry.vs == "AUTO";
  float bias = auto_bias ? 0.0f : script::ParamFloat(entry);
  script::NextParam(entry);
  const float scale = script::ParamFloat(entry);
  script::NextParam(entry);
  if (entry.kind != script::t_string) Fatal("String expected");
  const std::string name = ResolveInputName(entry.vs);

  // An empty sample grid has nothing to import and no mean for "AUTO".
  if (l.rect.w <= 0 || l.rect.h <= 0) {
    Fatal("Heightfield width and height must be at least 1");
  }
  // A grid far beyond the map's million cells can only repeat cells (a
  // spacing of 0); refusing it keeps the import from running for hours.
  if (static_cast<std::int64_t>(l.rect.w) * l.rect.h > kMaxImportSamples) {
    Fatal("Heightfield of more than 16777216 samples (w x h) is refused");
  }
  ComputeRange(l);
  if (l.lo < 0) Fatal("You can't read outside file (before file start)");
  std::vector<std::uint8_t> buffer = ReadSampleBytes(name, l);

  terrain::RasterDesc src;
  src.colstride = l.sx;
  src.rowstride = l.sy;
  src.width = l.rect.w;
  src.height = l.rect.h;
  src.data = buffer.data() + (l.ofs - l.lo);
  src.sampletype = type.type;
  if (auto_bias) {
    const long double count = static_cast<long double>(l.rect.w) * l.rect.h;
    bias = static_cast<float>(-(terrain::SumSamples(src) / count));
  }
  shell::Console() << "Calling SK!\n";
  terrain::ImportHeightfield(l.rect, src, bias, scale);
  script::EndFatalErrors();
}

}  // namespace commands
