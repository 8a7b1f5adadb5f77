// Numbered errors and warnings, the statistics block, and fatal sections.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/diagnostics.h"
#include "shell/runtime.h"
#include "support/transcript.h"

namespace {

using Lines = std::vector<std::string>;

TEST(Diagnostics, ErrorsAndWarningsAreNumberedApart) {
  testsupport::ConsoleCapture console;
  script::DiagnosticsInit();
  script::ReportError("one");
  script::ReportError("two");
  script::ReportError("three");
  script::ReportWarning("w");
  script::ReportError("");
  EXPECT_EQ(console.Lines(), (Lines{"Error [No. 1]  :one", "Error [No. 2]  :two", "Error [No. 3]  :three",
                                    "Warning [No. 1]  :w", "Error [No. 4]  :"}));
}

TEST(Diagnostics, StatisticsLine) {
  const struct {
    int errors, warnings;
    const char* line;
  } cases[] = {
      {0, 0, "no errors,no warnings"},
      {1, 0, "1 errors,no warnings,it probably was incorrectly executed."},
      {2, 0, "2 errors,no warnings,it probably was incorrectly executed."},
      {0, 1, "no errors,1 warnings,it probably was incorrectly executed."},
      {3, 2, "3 errors,2 warnings,it probably was incorrectly executed."},
  };
  for (const auto& c : cases) {
    testsupport::ConsoleCapture console;
    script::DiagnosticsInit();
    script::ErrorCount = c.errors;
    script::WarningCount = c.warnings;
    script::PrintStatistics();
    EXPECT_EQ(console.Lines(), (Lines{"Statistics:", c.line}));
  }
}

TEST(Diagnostics, CountersAccumulateOverRuns) {
  testsupport::ConsoleCapture console;
  script::DiagnosticsInit();
  script::ReportError("a");
  script::ReportError("b");
  script::PrintStatistics();
  console.Clear();
  script::ReportError("c");
  script::PrintStatistics();
  EXPECT_EQ(console.Lines(), (Lines{"Error [No. 3]  :c", "Statistics:",
                                    "3 errors,no warnings,it probably was incorrectly executed."}));
}

TEST(Diagnostics, LongMessagesAreCutTo255) {
  testsupport::ConsoleCapture console;
  script::DiagnosticsInit();
  script::ReportError(std::string(300, 'e'));
  script::ReportWarning(std::string(256, 'w'));
  EXPECT_EQ(console.Lines(), (Lines{"Error [No. 1]  :" + std::string(255, 'e'),
                                    "Warning [No. 1]  :" + std::string(255, 'w')}));
}

TEST(Diagnostics, ErrorInFatalSectionEndsWithStatusOne) {
  testsupport::ConsoleCapture console;
  script::DiagnosticsInit();
  shell::ClearFinalisers();
  script::ReportWarning("before");
  script::BeginFatalErrors();
  script::BeginFatalErrors();
  script::EndFatalErrors();
  script::ReportWarning("inside");  // warnings never end the program
  int status = -1;
  try {
    script::ReportError("bad");
  } catch (const shell::ProgramExit& exit) {
    status = exit.status;
  }
  EXPECT_EQ(status, 1);
  EXPECT_EQ(console.Lines(), (Lines{"Warning [No. 1]  :before", "Warning [No. 2]  :inside", "Error [No. 1]  :bad",
                                    "It was fatal error,exiting.", "Statistics:",
                                    "1 errors,2 warnings,it probably was incorrectly executed."}));
}

TEST(Diagnostics, ErrorAfterFatalSectionClosedGoesOn) {
  testsupport::ConsoleCapture console;
  script::DiagnosticsInit();
  script::BeginFatalErrors();
  script::EndFatalErrors();
  EXPECT_NO_THROW(script::ReportError("fine"));
  EXPECT_EQ(script::ErrorCount, 1);
}

}  // namespace
