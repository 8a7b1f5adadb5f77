// A heightfield import: the layout of the statement (offsets, strides,
// sizes, sample type, bias, scale, destination) from the first bytes, the
// rest of the bytes as the file.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/state.h"
#include "harness.h"
#include "terrain/worldmap.h"

namespace {

// Mostly values near the map and file sizes, now and then any 32-bit value.
std::int64_t IntegerValue(FuzzedDataProvider& in) {
  const int choice = in.ConsumeIntegralInRange(0, 7);
  std::int64_t v;
  if (choice == 0) {
    v = in.ConsumeIntegral<std::int32_t>();
  } else if (choice == 1) {
    v = in.ConsumeIntegralInRange<std::int64_t>(-2200, 2200);
  } else {
    v = in.ConsumeIntegralInRange<std::int64_t>(-3, 40);
  }
  return v;
}

std::string Real(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0: return "1e39";
    case 1: return "-1e39";
    case 2: return "1e-50";
    case 3: return "AUTO";
    default: {
      char text[40];
      std::snprintf(text, sizeof text, "%.9g", static_cast<double>(in.ConsumeFloatingPoint<float>()));
      return text;
    }
  }
}

std::string TypeWord(FuzzedDataProvider& in) {
  static const char* const words[] = {"UINT8", "INT8", "UINT16", "INT16", "'int16'", "FLOAT", "'UINT8'"};
  return words[in.ConsumeIntegralInRange(0, 6)];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::Setup();
  fuzzing::ResetProgram();
  FuzzedDataProvider in(data, size);
  std::string statement = "LOAD2DHEIGHTFIELD_LANDSCAPE ";
  std::int64_t layout[9];
  for (std::int64_t& v : layout) v = IntegerValue(in);
  // Samples are visited one by one whatever the strides, so a grid of
  // billions of samples read from one byte (zero strides) takes hours; keep
  // the grids the fuzzer tries within a few million samples.
  if (std::abs(layout[4]) * std::abs(layout[5]) > (std::int64_t{1} << 22)) return -1;
  for (std::int64_t v : layout) statement += std::to_string(v) + ",";
  statement += TypeWord(in) + ",";
  const int bias = in.ConsumeIntegralInRange(0, 3);
  statement += (bias == 0 ? std::string("AUTO") : bias == 1 ? std::string("?") : Real(in)) + ",";
  statement += Real(in) + ",";
  statement += in.ConsumeBool() ? "'h.raw';" : "h;";
  const std::vector<std::uint8_t> file = in.ConsumeRemainingBytes<std::uint8_t>();
  fuzzing::WriteScratchFile("h.raw", file.data(), file.size());
  fuzzing::RunScript(statement);
  // Every import starts from the same empty map.
  if (engine::Engine.flags.landscapeready) std::memset(terrain::WorldMap, 0, sizeof terrain::WorldMap);
  return 0;
}
