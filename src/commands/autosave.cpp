#include "commands/autosave.h"

#include <array>
#include <cfloat>
#include <cmath>
#include <cstdlib>

#include "commands/handlers.h"
#include "commands/patterns.h"
#include "engine/state.h"
#include "script/diagnostics.h"
#include "script/params.h"
#include "script/tokenizer.h"
#include "shell/files.h"

namespace commands {
namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr int kSignificantDigits = 10;
// Enough fraction digits to print any single exactly (its longest expansion,
// near the smallest subnormal, has 112 significant digits).
constexpr int kExactDigits = 119;

// Ten significant digits of |value|, rounded with exact halves away from
// zero (printf would take an exact half to the even digit), and the decimal
// exponent of the first digit.
void RoundToTenDigits(double magnitude, char (&digits)[kSignificantDigits], int& exponent) {
  char exact[kExactDigits + 16];
  std::snprintf(exact, sizeof exact, "%.*E", kExactDigits, magnitude);
  // exact is "d.ddd...dE+xx": the first digit, then the fraction.
  digits[0] = exact[0];
  for (int i = 1; i < kSignificantDigits; ++i) digits[i] = exact[i + 1];
  exponent = std::atoi(&exact[kExactDigits + 3]);
  // The digits after the tenth are exact, so the rest is at least half a
  // unit exactly when the eleventh digit is 5 or more.
  if (exact[kSignificantDigits + 1] < '5') return;
  for (int i = kSignificantDigits - 1; i >= 0; --i) {
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits[0] = '1';  // 9.999999999|5 became 10.00000000
  ++exponent;
}

void WriteLineEnd(std::FILE* file) { shell::WriteOrDie(file, kLineEnd, 2); }

// Decimal, except for the one value whose digits the tokenizer cannot read
// back: a minus sign before 2147483648 is a sign before an out-of-range
// constant, so -2^31 (a seed the new-world key can draw) is written as the
// hexadecimal pattern that reads back as itself.
std::string FormatParamInt(std::int32_t value) {
  if (value == INT32_MIN) return "$80000000";
  return std::to_string(value);
}

}  // namespace

std::string FormatParamReal(float value) {
  // A real that is not finite has no text the tokenizer reads back: an
  // infinity is written as the largest single of its sign, NaN as 0, so the
  // file stays a runnable script.
  if (std::isnan(value)) value = 0.0f;
  if (std::isinf(value)) value = std::copysign(FLT_MAX, value);
  char digits[kSignificantDigits];
  int exponent = 0;
  RoundToTenDigits(std::fabs(static_cast<double>(value)), digits, exponent);
  std::string text;
  text += value < 0 ? '-' : ' ';
  text += digits[0];
  text += '.';
  text.append(digits + 1, kSignificantDigits - 1);
  text += 'E';
  text += exponent < 0 ? '-' : '+';
  const int magnitude = std::abs(exponent);
  if (magnitude < 10) text += '0';
  text += std::to_string(magnitude);
  return text;
}

void WriteIntLine(std::FILE* file, std::string_view word, const std::int32_t* values, int last) {
  std::string line(word);
  line += ' ';
  for (int i = 0; i <= last; ++i) {
    line += FormatParamInt(values[i]);
    if (i != last) line += ',';
  }
  line += ';';
  shell::WriteOrDie(file, line);
  WriteLineEnd(file);
}

void WriteRealLine(std::FILE* file, std::string_view word, const float* values, int last) {
  std::string line(word);
  line += ' ';
  for (int i = 0; i <= last; ++i) {
    line += FormatParamReal(values[i]);
    if (i != last) line += ',';
  }
  line += ';';
  shell::WriteOrDie(file, line);
  WriteLineEnd(file);
}

void WriteParamsFile(const std::string& name) {
  std::FILE* file = shell::TryOpen(name, "ab");
  if (file == nullptr) file = shell::OpenOrDie(name, "wb");
  const engine::EngineState& e = engine::Engine;
  const float camera[5] = {e.camera.x, e.camera.y, e.camera.z, e.camera.angle, e.far};
  const auto rgb = [](const engine::Color& c) { return std::array<float, 3>{c.r, c.g, c.b}; };
  shell::WriteOrDie(file, "// autosaved parameters ;");
  WriteLineEnd(file);
  WriteIntLine(file, "setseed", &e.setseed, 0);
  WriteRealLine(file, "camera", camera, 4);
  WriteRealLine(file, "fogt", &e.fogt, 0);
  WriteRealLine(file, "fogdt", &e.fogdt, 0);
  WriteRealLine(file, "fogcolor", rgb(e.fogcolor).data(), 2);
  WriteRealLine(file, "sunlightcolor", rgb(e.sunlightcolor).data(), 2);
  WriteRealLine(file, "abovelightcolor", rgb(e.abovelightcolor).data(), 2);
  WriteRealLine(file, "reverselightcolor", rgb(e.reverselightcolor).data(), 2);
  shell::CloseOrDie(file);
}

// WRITEPARAMS 'name'; appends the current scene parameters as a script.
void RunProcWriteParams() {
  script::Tokenizer.NextToken();
  script::ReadParams();
  script::TraceCall("RunProcWritePara,s");
  if (script::ParamCount != 1 || script::Params[0].kind != script::t_string) {
    script::ReportError("illegal parameters list");
    return;
  }
  WriteParamsFile(ResolveOutputName(script::Params[0].vs));
}

}  // namespace commands
