// The statement loop, the command table and the parameter list, seen the way
// a user sees them: the console transcript of a whole small script.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "script/diagnostics.h"
#include "script/interpreter.h"
#include "script/params.h"
#include "script/tokenizer.h"
#include "shell/runtime.h"
#include "support/transcript.h"

namespace {

using Lines = std::vector<std::string>;
using script::Params;
using script::TTOKEN;

const std::string kSkip = "Skipping to separator(';')";
const std::string kNoSep = "Separator expected.";
const std::string kCommaOrSemi = "\",\" or \";\" expected ";
const Lines kClean = {"Statistics:", "no errors,no warnings"};

Lines Stats(int errors, int warnings) {
  std::string line = errors == 0 ? "no errors" : std::to_string(errors) + " errors";
  line += warnings == 0 ? ",no warnings" : "," + std::to_string(warnings) + " warnings";
  if (errors > 0 || warnings > 0) line += ",it probably was incorrectly executed.";
  return {"Statistics:", line};
}

// The lines a TEST or ASSIGN statement prints around its parameters.
Lines Trace(const std::string& handler, const Lines& params) {
  Lines out = {"interpreter debug: " + handler + " was called", "Parameters:"};
  out.insert(out.end(), params.begin(), params.end());
  out.push_back(".");
  return out;
}

// Builds an expected transcript from pieces; "E:" and "W:" prefixes become
// numbered error and warning lines, numbered in order of appearance.
Lines Expect(std::initializer_list<Lines> pieces) {
  Lines out;
  int errors = 0, warnings = 0;
  for (const Lines& piece : pieces) {
    for (const std::string& line : piece) {
      if (line.rfind("E:", 0) == 0) {
        out.push_back("Error [No. " + std::to_string(++errors) + "]  :" + line.substr(2));
      } else if (line.rfind("W:", 0) == 0) {
        out.push_back("Warning [No. " + std::to_string(++warnings) + "]  :" + line.substr(2));
      } else {
        out.push_back(line);
      }
    }
  }
  return out;
}

const std::string kRead = "reading params";
const std::string kTestCalled = "interpreter debug: RunProcTest was called";

std::string Int(int v) { return "int,value=" + std::to_string(v); }

struct ScriptCase {
  const char* name;
  std::string script;
  Lines expected;
};

class Transcripts : public ::testing::TestWithParam<ScriptCase> {};

void PrintTo(const ScriptCase& c, std::ostream* out) { *out << c.name; }
std::string CaseName(const ::testing::TestParamInfo<ScriptCase>& c) { return c.param.name; }

TEST_P(Transcripts, LineByLine) {
  testsupport::ResetProgram();
  const auto result = testsupport::RunScriptText(GetParam().script);
  EXPECT_EQ(result.exit_status, -1);
  EXPECT_EQ(result.lines, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Statements, Transcripts,
    ::testing::Values(
        ScriptCase{"Empty", "", kClean},
        ScriptCase{"CommentsOnly", "// nothing\n\n   // here\n", kClean},
        ScriptCase{"NoParameters", "TEST;", Expect({{kRead}, Trace("RunProcTest", {}), kClean})},
        ScriptCase{"CaseInsensitiveWords", "test 1;Assign 2;",
                   Expect({{kRead}, Trace("RunProcTest", {Int(1)}), {kRead}, Trace("RunProcAssign", {Int(2)}),
                           kClean})},
        ScriptCase{"EmptyStatement", "TEST;;TEST;",
                   Expect({{kRead}, Trace("RunProcTest", {}), {"E:Command ; is not found"}, {kRead},
                           Trace("RunProcTest", {}), Stats(1, 0)})},
        ScriptCase{"QuestionMark", "?;TEST;",
                   Expect({{"E:" + kNoSep, "W:" + kSkip}, {kRead}, Trace("RunProcTest", {}), Stats(1, 1)})},
        ScriptCase{"UnknownCommand", "FOO 1,2;\nTEST;",
                   Expect({{"E:Command FOO is not found", "E:" + kNoSep, "W:" + kSkip}, {kRead},
                           Trace("RunProcTest", {}), Stats(2, 1)})},
        ScriptCase{"PunctuationIsLookedUp", "+ 1;",
                   Expect({{"E:Command + is not found", "E:" + kNoSep, "W:" + kSkip}, Stats(2, 1)})},
        ScriptCase{"StartsWithNumber", "5 TEST 1;\nTEST;",
                   Expect({{"E:Command expected.", "W:" + kSkip}, {kRead}, Trace("RunProcTest", {}),
                           Stats(1, 1)})},
        ScriptCase{"StartsWithString", "'TEST';TEST;",
                   Expect({{"E:Command expected.", "W:" + kSkip}, {kRead}, Trace("RunProcTest", {}),
                           Stats(1, 1)})},
        ScriptCase{"MissingLastSeparator", "TEST;\nTEST 1",
                   Expect({{kRead}, Trace("RunProcTest", {}), {kRead, "E:" + kCommaOrSemi},
                           Trace("RunProcTest", {Int(1)}), {"E:" + kNoSep, "W:" + kSkip}, Stats(2, 1)})},
        ScriptCase{"WordAloneAtEnd", "TEST",
                   Expect({{kRead}, Trace("RunProcTest", {}), {"E:" + kNoSep, "W:" + kSkip}, Stats(1, 1)})},
        ScriptCase{"TwoStatementsWithoutSeparator", "TEST 1\nASSIGN 2;\nTEST 3;",
                   Expect({{kRead, "E:" + kCommaOrSemi}, Trace("RunProcTest", {Int(1)}),
                           {"E:" + kNoSep, "W:" + kSkip}, {kRead}, Trace("RunProcTest", {Int(3)}), Stats(2, 1)})},
        ScriptCase{"IllegalCharAfterParameter", "FAR 100%;\nTEST;",
                   Expect({{kRead, "E:illegal char", "E:" + kCommaOrSemi}, Trace("RunProcFAR", {Int(100)}),
                           {"E:" + kNoSep, "W:" + kSkip, "E:illegal char"}, Stats(4, 1)})},
        ScriptCase{"EofLineEndsTheScript", "TEST;\n#eof\nFOO;",
                   Expect({{kRead}, Trace("RunProcTest", {}), kClean})},
        ScriptCase{"CtrlZEndsTheScript", "TEST;\n\x1a" "FOO;",
                   Expect({{kRead}, Trace("RunProcTest", {}), kClean})},
        ScriptCase{"NulEndsTheScript", std::string("TEST;\0FOO;", 10),
                   Expect({{kRead}, Trace("RunProcTest", {}), kClean})},
        ScriptCase{"CrLfAndCrLines", "TEST 1,\r\n2;\rTEST;",
                   Expect({{kRead}, Trace("RunProcTest", {Int(1), Int(2)}), {kRead}, Trace("RunProcTest", {}),
                           kClean})}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Parameters, Transcripts,
    ::testing::Values(
        ScriptCase{"SignsFold", "TEST -1.5, +2, 3, - 4, -$80000000;",
                   Expect({{kRead}, Trace("RunProcTest", {"flt,value=-1.500000000000000E+000", Int(2), Int(3),
                                                          Int(-4), "int,value=-2147483648"}),
                           kClean})},
        ScriptCase{"SignBeforeNonNumber", "TEST -x, +'s', -;\n;TEST;",
                   Expect({{kRead, "E:\"-\" sign not followed by number", "E:\"+\" sign not followed by number",
                            "E:\"-\" sign not followed by number"},
                           Trace("RunProcTest", {"symbol legalident=TRUE vs=\"X\"", "string, value=\"s\"",
                                                 "symbol legalident=FALSE vs=\";\""}),
                           {kRead}, Trace("RunProcTest", {}), Stats(3, 0)})},
        ScriptCase{"TrailingComma", "TEST 100,;",
                   Expect({{kRead}, Trace("RunProcTest", {Int(100)}), kClean})},
        ScriptCase{"LoneComma", "TEST ,;",
                   Expect({{kRead}, Trace("RunProcTest", {"symbol legalident=FALSE vs=\",\""}), kClean})},
        // A string "," or ";" ends a parameter, but only the symbol ";" is
        // the statement's separator.
        ScriptCase{"StringsActAsSeparators", "TEST 1 ',' 2 ';' TEST;",
                   Expect({{kRead}, Trace("RunProcTest", {Int(1), Int(2)}), {"E:" + kNoSep, "W:" + kSkip},
                           Stats(1, 1)})},
        ScriptCase{"TwoNumbersWithoutComma", "TEST 1 2;TEST;",
                   Expect({{kRead, "E:" + kCommaOrSemi}, Trace("RunProcTest", {Int(1)}),
                           {"E:" + kNoSep, "W:" + kSkip}, {kRead}, Trace("RunProcTest", {}), Stats(2, 1)})},
        ScriptCase{"ParametersOverLines", "TEST 'a',\n// note\n  b;",
                   Expect({{kRead}, Trace("RunProcTest", {"string, value=\"a\"", "symbol legalident=TRUE vs=\"B\""}),
                           kClean})}),
    CaseName);

TEST(Interpreter, CommandWordsIgnoreCase) {
  testsupport::ResetProgram();
  const auto lower = testsupport::RunScriptText("camera 1,2,3,4;");
  testsupport::ResetProgram();
  const auto upper = testsupport::RunScriptText("CAMERA 1,2,3,4;");
  EXPECT_EQ(lower.lines, upper.lines);
  EXPECT_EQ(lower.lines.back(), "no errors,no warnings");
}

// Entries at ParamCount and above keep what an earlier statement left.
TEST(Params, StaleSlotsSurvive) {
  testsupport::ResetProgram();
  testsupport::RunScriptText("TEST 1,2,3,4,5;\nASSIGN 'a',-2.5,x;");
  EXPECT_EQ(script::ParamCount, 3);
  EXPECT_EQ(Params[0].vs, "a");
  EXPECT_EQ(Params[1].fvalue, -2.5);
  EXPECT_EQ(Params[2].vs, "X");
  EXPECT_EQ(Params[3].ivalue, 4);
  EXPECT_EQ(Params[4].ivalue, 5);
  EXPECT_EQ(Params[5].kind, script::t_end);
}

std::string NumberList(int count) {
  std::string text;
  for (int i = 1; i <= count; ++i) text += std::to_string(i) + (i < count ? "," : "");
  return text;
}

Lines Ints(int count) {
  Lines out;
  for (int i = 1; i <= count; ++i) out.push_back(Int(i));
  return out;
}

const std::string kTooMany = "E:too many parameters, only the first 64 are kept";

TEST(Params, SixtyFourFitExactly) {
  testsupport::ResetProgram();
  const auto result = testsupport::RunScriptText("TEST " + NumberList(64) + ";");
  EXPECT_EQ(result.lines, Expect({{kRead}, Trace("RunProcTest", Ints(64)), kClean}));
}

// The excess is reported once, read and dropped; the statement still ends
// on its ";" and the next one runs.
TEST(Params, ExcessIsReportedOnceAndDropped) {
  for (int count : {65, 70, 10000}) {
    testsupport::ResetProgram();
    const auto result = testsupport::RunScriptText("TEST " + NumberList(count) + ";\nTEST -x;");
    EXPECT_EQ(result.lines, Expect({{kRead, kTooMany}, Trace("RunProcTest", Ints(64)),
                                    {kRead, "E:\"-\" sign not followed by number"},
                                    Trace("RunProcTest", {"symbol legalident=TRUE vs=\"X\""}), Stats(2, 0)}))
        << count;
  }
}

TEST(Params, ExcessOnManyLinesWithSigns) {
  testsupport::ResetProgram();
  std::string script = "ASSIGN ";
  for (int i = 0; i < 200; ++i) script += "-1.5,\n";
  script += "+x;";
  const auto result = testsupport::RunScriptText(script);
  ASSERT_GE(result.lines.size(), 4u);
  EXPECT_EQ(result.lines[1], "Error [No. 1]  :too many parameters, only the first 64 are kept");
  EXPECT_EQ(result.lines[2], "Error [No. 2]  :\"+\" sign not followed by number");
  EXPECT_EQ(script::ParamCount, 64);
  EXPECT_EQ(result.lines.back(), "2 errors,no warnings,it probably was incorrectly executed.");
}

TEST(Params, TypedAccessors) {
  testsupport::ConsoleCapture console;
  script::DiagnosticsInit();
  const TTOKEN flt{script::t_flt, "", false, 0, 1.1};
  const TTOKEN big{script::t_flt, "", false, 0, -1e300};
  const TTOKEN num{script::t_int, "", false, 16777217, 0.0};
  const TTOKEN word{script::t_symbol, "X", true, 7, 7.0};
  const TTOKEN text{script::t_string, "5", false, 0, 0.0};
  const TTOKEN end{};
  EXPECT_EQ(script::ParamFloat(flt), 1.1f);
  EXPECT_EQ(script::ParamFloat(big), -INFINITY);
  EXPECT_EQ(script::ParamFloat(num), 16777216.0f);
  EXPECT_EQ(script::ParamInt(num), 16777217);
  EXPECT_EQ(script::ErrorCount, 0);
  EXPECT_EQ(script::ParamFloat(word), 1.0f);
  EXPECT_EQ(script::ParamFloat(end), 1.0f);
  EXPECT_EQ(script::ParamInt(flt), 1);  // reals are never truncated here
  EXPECT_EQ(script::ParamInt(text), 1);
  EXPECT_EQ(console.Lines(), (Lines{"Error [No. 1]  :Floating value expected,DANGER,using default=1",
                                    "Error [No. 2]  :Floating value expected,DANGER,using default=1",
                                    "Error [No. 3]  :Integer value expected,DANGER,using default=1",
                                    "Error [No. 4]  :Integer value expected,DANGER,using default=1"}));
}

TEST(Params, NextParamStopsAtCount) {
  testsupport::ResetProgram();
  testsupport::RunScriptText("TEST 1,2,3;ASSIGN 7;");
  testsupport::ConsoleCapture console;
  TTOKEN out{script::t_string, "untouched", false, 0, 0.0};
  ASSERT_TRUE(script::NextParam(out));
  EXPECT_EQ(out.ivalue, 7);
  out.vs = "untouched";
  out.kind = script::t_string;
  EXPECT_FALSE(script::NextParam(out));  // slot 1 still holds a stale 2
  EXPECT_EQ(out.vs, "untouched");
  EXPECT_EQ(script::ParamIndex, 1);
  EXPECT_EQ(console.Lines().back().substr(console.Lines().back().find(":") + 1),
            "More parameters expected (or internal script error)");
}

TEST(CommandTable, EveryRowIsFoundWhereItStands) {
  testsupport::ConsoleCapture console;
  script::DiagnosticsInit();
  for (int row = 0; row < script::kCommandCount; ++row) {
    EXPECT_EQ(script::FindCommand(script::CommandTable[row].name), row);
  }
  EXPECT_EQ(script::CommandTable[0].name, "?");
  EXPECT_EQ(script::CommandTable[1].handler, script::CommandTable[4].handler);  // "@" and "AT"
  EXPECT_EQ(script::ErrorCount, 0);
  EXPECT_TRUE(script::CheckCommandTable());
  EXPECT_TRUE(console.Lines().empty());
}

TEST(CommandTable, MissesReturnRowZeroWithTheMessage) {
  testsupport::ConsoleCapture console;
  script::DiagnosticsInit();
  for (const char* name : {"camera", "", "A", "ZZZ", "FOGCOLORS", "FOG", "\xff"}) {
    EXPECT_EQ(script::FindCommand(name), 0) << name;
  }
  EXPECT_EQ(console.Lines().front(), "Error [No. 1]  :Command camera is not found");
  console.Clear();
  script::FindCommand(std::string(1000, 'Q'));
  const std::string message = ("Command " + std::string(1000, 'Q')).substr(0, 255);
  EXPECT_EQ(console.Lines(), (Lines{"Error [No. 8]  :" + message}));
}

TEST(CommandTable, StartUpCheckMessages) {
  auto none = [] {};
  const script::CommandHandler h = none;
  const struct {
    std::vector<script::CommandRow> rows;
    std::string line;
  } cases[] = {
      {{{"?", h}, {"A", h}, {"A", h}}, "Identical commands found \"A\",exiting!"},
      {{{"?", h}, {"B", h}, {"AB", h}}, "Commands are not sorted ,look at\"B\" !"},
      {{{"?", h}, {"ABC", h}, {"AB", h}}, "Commands are not sorted ,look at\"ABC\" !"},
      {{{"?", h}, {"a", h}}, "internal interpteter error: commands should all be uppercase"},
      {{{"", h}}, "Commands are not sorted ,look at\"" + std::string(1, '\0') + "\" !"},
  };
  for (const auto& c : cases) {
    testsupport::ConsoleCapture console;
    EXPECT_FALSE(script::CheckCommandTable(c.rows));
    EXPECT_EQ(console.Lines(), (Lines{c.line}));
  }
  testsupport::ConsoleCapture console;
  const std::vector<script::CommandRow> good = {{"?", h}, {"@", h}, {"A1", h}, {"AB", h}, {"A_", h}, {"B", h}};
  EXPECT_TRUE(script::CheckCommandTable(good));
}

TEST(Interpreter, UpperCaseChangesOnlyLetters) {
  EXPECT_EQ(script::UpperCase("fov_h1 az{}\xe4"), "FOV_H1 AZ{}\xe4");
}

TEST(Interpreter, ModuleInitEmptiesItsState) {
  testsupport::ResetProgram();
  testsupport::RunScriptText("TEST 1,'abc';");
  testsupport::ConsoleCapture console;
  shell::ClearFinalisers();
  script::InterpreterModuleInit();
  EXPECT_TRUE(console.Lines().empty());
  EXPECT_EQ(Params[0].kind, script::t_end);
  EXPECT_EQ(Params[1].vs, "");
  EXPECT_EQ(script::Tokenizer.cur.kind, script::t_end);
  // The finalisation registered here runs on a halt and empties it again.
  testsupport::RunScriptText("TEST 1;");
  EXPECT_THROW(shell::Halt(0), shell::ProgramExit);
  EXPECT_EQ(Params[0].kind, script::t_end);
}

// The console: a prompt line, statements up to "#eof", the statistics; the
// next console run goes on with the following input line.
TEST(Console, RunsUntilEofLineThenAgain) {
  testsupport::ResetProgram();
  testsupport::ConsoleCapture console("TEST 1;\nFOO;\n#eof\nTEST 2;\n");
  script::RunConsole();
  EXPECT_EQ(console.Lines(), Expect({{"Enter \"#eof\" to close input", kRead}, Trace("RunProcTest", {Int(1)}),
                                     {"E:Command FOO is not found", "E:" + kNoSep, "W:" + kSkip}, Stats(2, 1)}));
  console.Clear();
  script::RunConsole();
  EXPECT_EQ(console.Lines(), Expect({{"Enter \"#eof\" to close input", kRead}, Trace("RunProcTest", {Int(2)}),
                                     Stats(2, 1)}));
}

TEST(Console, EndOfInputEndsTheRun) {
  testsupport::ResetProgram();
  testsupport::ConsoleCapture console("");
  script::RunConsole();
  EXPECT_EQ(console.Lines(), (Lines{"Enter \"#eof\" to close input", "Statistics:", "no errors,no warnings"}));
}

// Nothing a script holds may crash the interpreter: every run ends with
// its statistics and no halt.
TEST(Robustness, VeryLongLines) {
  testsupport::ResetProgram();
  const std::string word(1000000, 'w');
  const auto result = testsupport::RunScriptText(word + " " + word + ";\nTEST '" + word + "';");
  ASSERT_EQ(result.lines.size(), 10u);
  EXPECT_EQ(result.lines[0], ("Error [No. 1]  :Command " + script::UpperCase(word)).substr(0, 16 + 255));
  EXPECT_EQ(result.lines[3], kRead);
  EXPECT_EQ(result.lines[6].size(), std::string("string, value=\"\"").size() + word.size());
  EXPECT_EQ(result.lines.back(), "2 errors,1 warnings,it probably was incorrectly executed.");
}

TEST(Robustness, DeepRunsOfErrors) {
  testsupport::ResetProgram();
  std::string script;
  for (int i = 0; i < 5000; ++i) script += "5;FOO;\n";
  const auto result = testsupport::RunScriptText(script);
  EXPECT_EQ(result.exit_status, -1);
  EXPECT_EQ(result.lines.back(), "15000 errors,10000 warnings,it probably was incorrectly executed.");
}

TEST(Robustness, BinaryGarbage) {
  // Any byte; bytes without the two that end the input at once; and only
  // characters the tokenizer accepts, so that the garbage runs to its end
  // (their letters cannot spell a command that writes a file).
  const std::string legal =
      "abcXYZ_019$#'!()+,-;?@[\\]^|:<>=*./ \t\r\n"
      "eE..;;;,,,''##$$FAR TEST ASSIGN CAMERA ";
  std::mt19937 random(12345);
  for (int round = 0; round < 60; ++round) {
    std::string garbage(20000, '\0');
    std::uniform_int_distribution<int> byte(round % 3 == 1 ? 1 : 0, round % 3 == 1 ? 254 : 255);
    std::uniform_int_distribution<std::size_t> pick(0, legal.size() - 1);
    for (char& c : garbage) c = round % 3 == 2 ? legal[pick(random)] : static_cast<char>(byte(random));
    testsupport::ResetProgram();
    const auto result = testsupport::RunScriptText(garbage);
    EXPECT_EQ(result.exit_status, -1);
    ASSERT_GE(result.lines.size(), 2u);
    EXPECT_EQ(result.lines[result.lines.size() - 2], "Statistics:") << round;
    if (round % 3 == 2) {
      EXPECT_GT(result.lines.size(), 1000u) << "legal characters only should run long: " << round;
    }
  }
}

// A script source that fails while being read (here a directory) ends the
// program with the run-time error of the read, not with a crash.
TEST(Robustness, ReadFaultIsARuntimeError) {
  testsupport::ResetProgram();
  const std::string dir = testsupport::ScratchDir("read-fault");
  std::ifstream source(dir);
  ASSERT_TRUE(source.is_open());
  testsupport::ConsoleCapture console;
  int status = -1;
  try {
    script::RunScriptFile(source);
  } catch (const shell::ProgramExit& exit) {
    status = exit.status;
  }
  EXPECT_EQ(status, 21);  // EISDIR
  ASSERT_FALSE(console.Lines().empty());
  EXPECT_EQ(console.Lines().back().rfind("Runtime error 21 at 0x", 0), 0u);
}

}  // namespace
