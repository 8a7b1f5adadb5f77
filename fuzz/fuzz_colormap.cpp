// The bytes as a colour-map picture loaded by LOADCOLORMAP.
#include <cstdint>
#include <string>

#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::Setup();
  fuzzing::ResetProgram();
  fuzzing::WriteScratchFile("cm.ppm", data, size);
  fuzzing::RunScript("LOADCOLORMAP 'cm.ppm';");
  return 0;
}
