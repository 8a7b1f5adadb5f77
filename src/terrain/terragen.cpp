#include "terrain/terragen.h"

#include <cstdint>

#include "commands/handlers.h"
#include "script/diagnostics.h"
#include "script/params.h"
#include "script/tokenizer.h"
#include "shell/files.h"
#include "terrain/worldmap.h"

namespace terrain {
namespace {

// Every fourth cell of every fourth row; index 256 wraps back to cell 0.
constexpr int kRawSide = 257;
constexpr int kRawStep = 4;
// Height 0 becomes byte 127; one byte step per cell width of height.
constexpr int kRawZero = 127;

std::uint8_t RawSample(std::int16_t height) {
  const int v = height / kHeightUnitsPerCell + kRawZero;  // truncates toward zero
  if (v > 255) return 255;
  if (v < 0) return 0;
  return static_cast<std::uint8_t>(v);
}

}  // namespace

void WriteTerragenRaw() {
  std::FILE* file = shell::OpenOrDie("terra.raw", "wb");
  std::uint8_t row[kRawSide];
  for (int j = 0; j < kRawSide; ++j) {
    for (int i = 0; i < kRawSide; ++i) row[i] = RawSample(WorldMap[CellIndex(kRawStep * i, kRawStep * j)].height);
    shell::WriteOrDie(file, row, kRawSide);
  }
  shell::CloseOrDie(file);
}

}  // namespace terrain

namespace commands {

// WRITETERRAGENRAW; exports even after a wrong parameter count.
void RunProcWriteTerragenRaw() {
  script::Tokenizer.NextToken();
  script::ReadParams();
  script::TraceCall("RunProcWriteTerragenRaw");
  if (script::ParamCount != 0) script::ReportError("illegal parameters list for WriteTerragenRaw;");
  terrain::WriteTerragenRaw();
}

}  // namespace commands
