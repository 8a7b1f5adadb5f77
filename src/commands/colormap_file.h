// The colour-map picture reader behind LOADCOLORMAP: a binary PPM "P6" of
// 256 columns whose rows become colour-map rows, the file's top row last.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "terrain/worldmap.h"

namespace commands {

// Rows of every load collect here and are never cleared, so rows that a
// short picture does not cover keep what an earlier load put there.
extern std::uint32_t ColorMapStage[terrain::kColorMapEntries];

// Reads and checks the header from the start of `file`. On true, `height`
// holds the announced height and the file stands on the first pixel byte.
bool ReadPpmHeader(std::FILE* file, std::int32_t& height);

// A header field as a 32-bit signed number: optional sign, then decimal
// digits, "$" and hexadecimal digits, or "%" and binary digits. Anything
// else reports "Illegal numeric " and gives 0.
std::int32_t ParseHeaderNumber(std::string_view text);

}  // namespace commands
