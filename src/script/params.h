// The shared parameter list of the statement read last: ReadParams fills it
// from the Tokenizer with sign folding, TraceCall prints the call trace, and
// the typed accessors turn entries into 32-bit reals or integers.
#pragma once

#include <cstdint>
#include <string_view>

#include "script/tokenizer.h"

namespace script {

constexpr int kMaxParams = 64;

extern TTOKEN Params[kMaxParams];
extern std::int32_t ParamCount;
extern std::int32_t ParamIndex;

void ReadParams();
void TraceCall(std::string_view handler_name);
float ParamFloat(const TTOKEN& entry);
std::int32_t ParamInt(const TTOKEN& entry);
// Copies the next entry into `out`; false (with the error) when none is left.
bool NextParam(TTOKEN& out);
// Empties all 64 entries (module initialisation and finalisation).
void ClearParams();

}  // namespace script
