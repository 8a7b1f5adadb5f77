// STUB: to be implemented.
#include "script/params.h"
namespace script {
TTOKEN Params[kMaxParams];
std::int32_t ParamCount = 0;
std::int32_t ParamIndex = 0;
void ReadParams() {}
void TraceCall(std::string_view) {}
float ParamFloat(const TTOKEN&) { return 1; }
std::int32_t ParamInt(const TTOKEN&) { return 1; }
bool NextParam(TTOKEN&) { return false; }
void ClearParams() {}
}  // namespace script
