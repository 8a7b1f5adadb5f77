// Numbered errors and warnings, the statistics block that closes every run,
// and fatal sections in which any error ends the program.
#pragma once

#include <cstdint>
#include <string_view>

namespace script {

extern std::int32_t ErrorCount;
extern std::int32_t WarningCount;
extern std::int32_t FatalDepth;

// Messages are at most 255 characters; longer texts are cut here.
constexpr std::size_t kMaxMessage = 255;

void DiagnosticsInit();
void ReportError(std::string_view message);
void ReportWarning(std::string_view message);
void PrintStatistics();
void BeginFatalErrors();
void EndFatalErrors();

}  // namespace script
