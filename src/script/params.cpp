#include "script/params.h"

#include <cmath>
#include <cstdint>
#include <ostream>
#include <string>

#include "script/diagnostics.h"
#include "shell/runtime.h"

namespace script {

TTOKEN Params[kMaxParams];
std::int32_t ParamCount = 0;
std::int32_t ParamIndex = 0;

namespace {

// Said once per statement when it brings more parameters than the list holds;
// the excess is read (so the statement still ends on its ";") but not kept.
constexpr const char* kTooManyParams = "too many parameters, only the first 64 are kept";

// The smallest magnitude that rounds to infinity as a 32-bit real: halfway
// between the largest float and 2^128.
constexpr double kFloatOverflow = 0x1.ffffffp+127;

void SignNotFollowedByNumber(char sign) {
  ReportError(std::string("\"") + sign + "\" sign not followed by number");
}

// Folds a sign into the number after it; the token after the sign is the
// parameter in every case.
void FoldSign() {
  TTOKEN& cur = Tokenizer.cur;
  if (cur.vs == "-") {
    Tokenizer.NextToken();
    if (cur.kind == t_int) {
      // Unsigned negation: -$80000000 stays $80000000 instead of overflowing.
      cur.ivalue = static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(cur.ivalue));
    } else if (cur.kind == t_flt) {
      cur.fvalue = -cur.fvalue;
    } else {
      SignNotFollowedByNumber('-');
    }
  } else if (cur.vs == "+") {
    Tokenizer.NextToken();
    if (cur.kind != t_int && cur.kind != t_flt) SignNotFollowedByNumber('+');
  }
}

}  // namespace

void ReadParams() {
  shell::Console() << "reading params\n";
  ParamIndex = 0;
  ParamCount = 0;
  std::int32_t n = 0;
  bool excess_reported = false;
  TTOKEN& cur = Tokenizer.cur;
  // Only `vs` decides: a string whose text is "," or ";" acts as that symbol.
  while (cur.kind != t_end && cur.vs != ";") {
    FoldSign();
    if (n < kMaxParams) {
      Params[n++] = cur;
    } else if (!excess_reported) {
      ReportError(kTooManyParams);
      excess_reported = true;
    }
    Tokenizer.NextToken();
    if (cur.vs == ",") {
      Tokenizer.NextToken();
    } else if (cur.vs == ";") {
      break;
    } else {
      ReportError("\",\" or \";\" expected ");
      break;
    }
  }
  ParamCount = n;
}

void TraceCall(std::string_view handler_name) {
  std::ostream& out = shell::Console();
  out << "interpreter debug: " << handler_name << " was called\n";
  out << "Parameters:\n";
  for (std::int32_t i = 0; i < ParamCount; ++i) PrintToken(Params[i]);
  out << ".\n";
}

float ParamFloat(const TTOKEN& entry) {
  if (entry.kind == t_flt) {
    // Rounded to 32-bit precision; beyond the float range that is infinity.
    if (std::fabs(entry.fvalue) >= kFloatOverflow) {
      return entry.fvalue > 0 ? INFINITY : -INFINITY;
    }
    return static_cast<float>(entry.fvalue);
  }
  if (entry.kind == t_int) return static_cast<float>(entry.ivalue);
  ReportError("Floating value expected,DANGER,using default=1");
  return 1.0f;
}

std::int32_t ParamInt(const TTOKEN& entry) {
  if (entry.kind == t_int) return entry.ivalue;
  ReportError("Integer value expected,DANGER,using default=1");
  return 1;
}

bool NextParam(TTOKEN& out) {
  if (ParamIndex < ParamCount) {
    out = Params[ParamIndex++];
    return true;
  }
  ReportError("More parameters expected (or internal script error)");
  return false;
}

void ClearParams() {
  for (TTOKEN& entry : Params) entry = TTOKEN{};
  ParamCount = 0;
  ParamIndex = 0;
}

}  // namespace script
