// The two programs end to end: start-up lines, the start script run, the exit
// banner and the exit status, run as separate processes in a scratch
// directory. The windowed program runs without a display here, so after the
// script it ends with its no-window line (the live window is tested under a
// virtual X server by window_test.sh).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/transcript.h"

namespace {

using Lines = std::vector<std::string>;

const Lines kEngineTrace = {"sk.init called", "memory freed", "fillbyte", "sk.init done"};
const Lines kBanner = {"", "Skerrow - voxel landscape generator and renderer",
                       "scripts in, PPM pictures out, a live window to fly over the world"};
const std::string kNoWindowLine =
    "skerrow: cannot open the window: no display (DISPLAY is not set) (use skerrow-batch "
    "without a display, or run under xvfb-run)";
constexpr int kNoWindowStatus = 4;

Lines Join(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// Engine start-up, the banner, then InterpreterInit's second engine reset.
Lines StartLines() { return Join({kEngineTrace, kBanner, kEngineTrace}); }

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  f << bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

struct ProgramRun {
  Lines lines;
  int status = -1;
};

// Runs a program of the build in `dir` without a display (or with the
// DISPLAY given), with `input` as its standard input, and collects standard
// output and the exit status.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& dir, const std::string& input = "\n",
                      const std::string& display = "") {
  std::string bin = SKERROW_BIN_DIR;
  bin.append("/").append(program);
  WriteFile(dir + "/stdin.txt", input);
  std::string cmd = "cd " + Quote(dir) + " && env -u DISPLAY ";
  if (!display.empty()) cmd.append("DISPLAY=").append(Quote(display)).append(" ");
  cmd.append("timeout 120 ").append(Quote(bin));
  for (const std::string& a : args) cmd.append(" ").append(Quote(a));
  cmd += " < stdin.txt > stdout.txt 2> stderr.txt";
  const int raw = std::system(cmd.c_str());
  ProgramRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.lines = testsupport::SplitLines(ReadFile(dir + "/stdout.txt"));
  EXPECT_EQ(ReadFile(dir + "/stderr.txt"), "") << program << ": nothing goes to standard error";
  return run;
}

struct Program {
  const char* name;
  bool windowed;
};
const Program kPrograms[] = {{"skerrow-batch", false}, {"skerrow", true}};

// What follows a script run that ended normally: the windowed program fails
// to open its window, then both print the exit banner.
Lines AfterScript(const Program& p) {
  return p.windowed ? Join({{kNoWindowLine}, kBanner}) : kBanner;
}

// Whole transcripts of runs that end normally after the script.
struct TranscriptCase {
  const char* what;
  std::optional<std::string> script;  // written to the file named args[0] or default.sks
  std::vector<std::string> args;
  Lines body;        // the lines between the start-up and the end
  int batch_status;  // the windowed program ends with kNoWindowStatus
};

const std::string kLongName(300, 'x');

const TranscriptCase kTranscripts[] = {
    {"missing script", std::nullopt, {"nothere.sks"}, {"\"nothere.sks\" is not found!"}, 0},
    {"path shown as passed", std::nullopt, {"sub/ a b.sks"}, {"\"sub/ a b.sks\" is not found!"}, 0},
    {"long path cut to 255", std::nullopt, {kLongName},
     {std::string(1, '"').append(kLongName, 0, 255).append("\" is not found!")}, 0},
    {"a directory is no script", std::nullopt, {"."}, {"\".\" is not found!"}, 0},
    {"no argument", "", {}, {"\"default.sks\" found,executing", "Statistics:", "no errors,no warnings"}, 0},
    {"empty argument", "", {""}, {"\"default.sks\" found,executing", "Statistics:", "no errors,no warnings"}, 0},
    {"empty script", "", {"empty.sks"}, {"\"empty.sks\" found,executing", "Statistics:", "no errors,no warnings"}, 0},
    {"script with errors", "FOO 1,2;\n", {"bad.sks"},
     {"\"bad.sks\" found,executing", "Error [No. 1]  :Command FOO is not found",
      "Error [No. 2]  :Separator expected.", "Warning [No. 1]  :Skipping to separator(';')",
      "Statistics:", "2 errors,1 warnings,it probably was incorrectly executed."},
     3},
};

TEST(Executables, TranscriptsOfNormalRuns) {
  const std::string dir = testsupport::ScratchDir("transcripts");
  for (const TranscriptCase& c : kTranscripts) {
    if (c.script) WriteFile(dir + "/" + (c.args.empty() || c.args[0].empty() ? "default.sks" : c.args[0]), *c.script);
    for (const Program& p : kPrograms) {
      SCOPED_TRACE(std::string(p.name) + ": " + c.what);
      const ProgramRun run = RunProgram(p.name, c.args, dir);
      EXPECT_EQ(run.lines, Join({StartLines(), c.body, AfterScript(p)}));
      EXPECT_EQ(run.status, p.windowed ? kNoWindowStatus : c.batch_status);
    }
    std::remove((dir + "/default.sks").c_str());
  }
}

// The last `count` lines, or all when there are fewer.
Lines Tail(const Lines& lines, std::size_t count) {
  return Lines(lines.end() - static_cast<std::ptrdiff_t>(std::min(count, lines.size())), lines.end());
}

// A display that cannot be reached ends the windowed program after the
// script the same way: one line saying why, the banner, status 4.
TEST(Executables, UnreachableDisplay) {
  const std::string dir = testsupport::ScratchDir("display");
  const ProgramRun run = RunProgram("skerrow", {"nothere.sks"}, dir, "\n", ":97.3");
  EXPECT_EQ(run.status, kNoWindowStatus);
  const std::size_t start = StartLines().size();
  ASSERT_EQ(run.lines.size(), start + 5);
  EXPECT_EQ(run.lines[start], "\"nothere.sks\" is not found!");
  EXPECT_EQ(run.lines[start + 1].rfind("skerrow: cannot open the window: ", 0), 0u)
      << run.lines[start + 1];
  EXPECT_EQ(Tail(run.lines, 3), kBanner);
}

TEST(Executables, FatalErrorEndsWithStatusOne) {
  const std::string dir = testsupport::ScratchDir("fatal");
  WriteFile(dir + "/fatal.sks",
            "LOAD2DHEIGHTFIELD_LANDSCAPE 0,0,1,1,2,2,1,2,0,FLOAT,0,1,'h.raw';\nFOGT 1;\n");
  for (const Program& p : kPrograms) {
    SCOPED_TRACE(p.name);
    const ProgramRun run = RunProgram(p.name, {"fatal.sks"}, dir);
    EXPECT_EQ(run.status, 1);
    // The fatal line, the statistics block counting the error, the banner:
    // nothing of the script after the import and no window.
    const Lines tail = Tail(run.lines, 6);
    ASSERT_EQ(tail.size(), 6u);
    EXPECT_EQ(tail[0], "It was fatal error,exiting.");
    EXPECT_EQ(tail[1], "Statistics:");
    EXPECT_TRUE(tail[2].rfind("1 errors", 0) == 0) << tail[2];
    EXPECT_EQ(Lines(tail.begin() + 3, tail.end()), kBanner);
  }
}

// The code of a line "Runtime error <code> at 0x<hex digits>", or -1.
int RuntimeErrorCode(const std::string& line) {
  const std::string head = "Runtime error ";
  if (line.rfind(head, 0) != 0) return -1;
  std::size_t at = line.find(" at 0x");
  if (at == std::string::npos || at == head.size() || at + 6 == line.size()) return -1;
  const std::string code = line.substr(head.size(), at - head.size());
  if (code.find_first_not_of("0123456789") != std::string::npos) return -1;
  if (line.find_first_not_of("0123456789ABCDEF", at + 6) != std::string::npos) return -1;
  return std::stoi(code);
}

TEST(Executables, RuntimeErrorEndsWithItsCode) {
  const std::string dir = testsupport::ScratchDir("runtime");
  WriteFile(dir + "/colormap.sks", "LOADCOLORMAP 'missing.ppm';\nFOGT 1;\n");
  WriteFile(dir + "/outdir.sks", "OUT @ 'nodir/%.ppm';\nRENDERPORT 4,2;\nRENDER;\n");
  const struct {
    const char* script;
    int code;
  } cases[] = {{"colormap.sks", 2}, {"outdir.sks", 2}};
  for (const auto& c : cases) {
    for (const Program& p : kPrograms) {
      SCOPED_TRACE(std::string(p.name) + ": " + c.script);
      const ProgramRun run = RunProgram(p.name, {c.script}, dir);
      EXPECT_EQ(run.status, c.code);
      // The exit banner first, then the report as the last line.
      const Lines tail = Tail(run.lines, 4);
      ASSERT_EQ(tail.size(), 4u);
      EXPECT_EQ(Lines(tail.begin(), tail.begin() + 3), kBanner);
      EXPECT_EQ(RuntimeErrorCode(tail[3]), c.code) << tail[3];
      EXPECT_EQ(std::count(run.lines.begin(), run.lines.end(), "Statistics:"), 0);
    }
  }
}

std::string Garbage(std::size_t n) {
  std::string bytes(n, '\0');
  std::uint32_t x = 12345;
  for (char& b : bytes) {
    x = x * 1103515245u + 12345u;
    b = static_cast<char>(x >> 23);
  }
  return bytes;
}

std::string ManyParams(int n) {
  std::string s = "TEST 1";
  for (int i = 1; i < n; ++i) s += ",1";
  return s + ";\nFOGT 2;\n";
}

// Scripts that must end with their messages, the statistics block and the
// banner, never with a crash.
TEST(Executables, HostileScriptsDoNotCrash) {
  const std::string dir = testsupport::ScratchDir("hostile");
  const struct {
    const char* file;
    std::string text;
  } cases[] = {
      {"longident.sks", "TEST " + std::string(200000, 'A') + ";\n"},
      {"longnumber.sks", "TEST " + std::string(200000, '9') + ", 1." + std::string(100000, '5') + ";\n"},
      {"longstring.sks", "TEST '" + std::string(200000, 's') + "';\n"},
      {"longline.sks", std::string(300000, ' ') + "FOGT 1;" + std::string(300000, ';') + "\n"},
      {"params.sks", ManyParams(10000)},
      {"garbage.sks", Garbage(65536)},
      {"nul.sks", std::string("FOGT 1;\0\0\xff\xfe;;", 14) + "\n"},
      {"errors.sks", [] {
         std::string s;
         for (int i = 0; i < 3000; ++i) s += "FOO; 12; CAMERA 1; 'x';\n";
         return s;
       }()},
  };
  for (const auto& c : cases) {
    WriteFile(dir + "/" + c.file, c.text);
    for (const Program& p : kPrograms) {
      SCOPED_TRACE(std::string(p.name) + ": " + c.file);
      const ProgramRun run = RunProgram(p.name, {c.file}, dir);
      const Lines after = AfterScript(p);
      const Lines tail = Tail(run.lines, after.size() + 2);
      ASSERT_EQ(tail.size(), after.size() + 2);
      EXPECT_EQ(tail[0], "Statistics:");
      EXPECT_EQ(Lines(tail.begin() + 2, tail.end()), after);
      const int expected = p.windowed ? kNoWindowStatus : (tail[1].rfind("no errors", 0) == 0 ? 0 : 3);
      EXPECT_EQ(run.status, expected);
    }
  }
}

}  // namespace

namespace {

// The start script of `make run` and the examples of the language run
// without a single error or warning and write their pictures into out/.
TEST(Executables, ExampleScriptsRunClean) {
  const std::string source = SKERROW_SOURCE_DIR;
  const std::string dir = testsupport::ScratchDir("examples");
  ASSERT_EQ(std::system(("mkdir -p " + Quote(dir + "/out")).c_str()), 0);
  for (const char* script : {"default.sks", "examples/flight.sks", "examples/lighting.sks",
                             "examples/language.sks"}) {
    SCOPED_TRACE(script);
    const ProgramRun run = RunProgram("skerrow-batch", {source + "/" + script}, dir);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(std::count(run.lines.begin(), run.lines.end(), "no errors,no warnings"), 1);
  }
  for (const char* picture : {"valley", "ridge", "evening", "flight-7", "light-haze", "lang-0"}) {
    EXPECT_EQ(ReadFile(dir + "/out/" + picture + ".ppm").substr(0, 3), "P6 ") << picture;
  }
}

}  // namespace
