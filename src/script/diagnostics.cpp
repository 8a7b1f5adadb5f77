#include "script/diagnostics.h"

#include <ostream>

#include "shell/runtime.h"

namespace script {

std::int32_t ErrorCount = 0;
std::int32_t WarningCount = 0;
std::int32_t FatalDepth = 0;

namespace {
std::string_view Cut(std::string_view message) {
  return message.size() > kMaxMessage ? message.substr(0, kMaxMessage) : message;
}
}  // namespace

void DiagnosticsInit() {
  ErrorCount = 0;
  WarningCount = 0;
  FatalDepth = 0;
}

void ReportError(std::string_view message) {
  ++ErrorCount;
  shell::Console() << "Error [No. " << ErrorCount << "]  :" << Cut(message) << '\n';
  if (FatalDepth > 0) {
    shell::Console() << "It was fatal error,exiting.\n";
    PrintStatistics();
    shell::Halt(1);
  }
}

void ReportWarning(std::string_view message) {
  ++WarningCount;
  shell::Console() << "Warning [No. " << WarningCount << "]  :" << Cut(message) << '\n';
}

void PrintStatistics() {
  std::ostream& out = shell::Console();
  out << "Statistics:\n";
  if (ErrorCount == 0) {
    out << "no errors";
  } else {
    out << ErrorCount << " errors";
  }
  if (WarningCount == 0) {
    out << ",no warnings";
  } else {
    out << ',' << WarningCount << " warnings";
  }
  if (ErrorCount > 0 || WarningCount > 0) out << ",it probably was incorrectly executed.";
  out << '\n';
  out.flush();
}

void BeginFatalErrors() { ++FatalDepth; }
void EndFatalErrors() { --FatalDepth; }

}  // namespace script
