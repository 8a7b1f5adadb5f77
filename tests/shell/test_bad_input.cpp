// Every bad input a user can give, one row each: the error, warning and
// run-time lines the console shows, the exit status, and that nothing was
// half-written (the map and the colour map as before a refused command, no
// output file where the program refused to write one).
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/transcript.h"
#include "terrain/worldmap.h"

namespace {

namespace fs = std::filesystem;

// The lines a user reads to learn what went wrong. The address of a
// run-time error is the program's own business and is cut off.
std::vector<std::string> ReportLines(const std::vector<std::string>& lines) {
  std::vector<std::string> kept;
  for (const std::string& line : lines) {
    if (line.rfind("Error [No. ", 0) == 0 || line.rfind("Warning [No. ", 0) == 0 ||
        line == "It was fatal error,exiting." || line.rfind("picture of ", 0) == 0 ||
        line == "bicone projection is not available,port unchanged" || line == "Internal bug!") {
      kept.push_back(line);
    } else if (line.rfind("Runtime error ", 0) == 0) {
      kept.push_back(line.substr(0, line.find(" at 0x")));
    }
  }
  return kept;
}

void WriteFile(const std::string& name, const std::string& bytes) {
  std::ofstream(name, std::ios::binary) << bytes;
}

std::string Pixels(int rows, char value) { return std::string(static_cast<std::size_t>(rows) * 768, value); }

std::string E(int n, const std::string& text) { return "Error [No. " + std::to_string(n) + "]  :" + text; }
std::string W(int n, const std::string& text) { return "Warning [No. " + std::to_string(n) + "]  :" + text; }
const std::string kFatal = "It was fatal error,exiting.";
const std::string kSkip = "Skipping to separator(';')";
const std::string kFovIgnored = "Field of view angle out of range (0..pi),ignored";

// The import statement with its layout; only the parts a row changes vary.
std::string Import(const std::string& layout, const std::string& type = "INT16", const std::string& bias = "0",
                   const std::string& scale = "1", const std::string& file = "'h.raw'") {
  return "LOAD2DHEIGHTFIELD_LANDSCAPE " + layout + ", " + type + ", " + bias + ", " + scale + ", " + file + ";\n";
}
const std::string kGoodLayout = "0, 0, 1, 1, 4, 4, 2, 8, 0";  // 4 x 4 INT16 samples, 32 bytes

struct Row {
  const char* what;
  std::string script;
  std::vector<std::string> expected;  // error, warning, fatal and run-time lines
  int status;                         // -1: the run ended normally
  bool changes_world = false;         // the map or the colour map may change
  std::vector<std::string> absent = {};  // files that must not exist afterwards
};

class BadInput : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = testsupport::ScratchDir("bad-input");
    old_ = fs::current_path();
    fs::current_path(dir_);
    WriteFile("h.raw", std::string(32, '\x01'));
    WriteFile("p3.ppm", "P3\n256 1\n255\n" + std::string(768, '1'));
    WriteFile("magic-only.ppm", "P6");
    WriteFile("one-byte.ppm", "P");
    WriteFile("separators.ppm", "P6" + std::string(256, ' ') + "256 1 255\n" + Pixels(1, 'a'));
    WriteFile("width512.ppm", "P6\n512 1\n255\n" + Pixels(1, 'b'));
    WriteFile("height-x1.ppm", "P6\n256 x1\n255\n" + Pixels(1, 'c'));
    WriteFile("height-big.ppm", "P6\n256 99999999999\n255\n" + Pixels(1, 'c'));
    WriteFile("rows-short.ppm", "P6\n256 4\n255\n" + Pixels(1, 'd') + "xyz");
    WriteFile("comment-end.ppm", "P6\n# only a comment\n");
    WriteFile("no-pixels.ppm", "P6\n256 1024\n255\n");
    fs::create_directory("adir");
  }
  static void TearDownTestSuite() { fs::current_path(old_); }

  static void Check(const Row& row) {
    SCOPED_TRACE(row.what);
    testsupport::ResetProgram();
    for (int i = 0; i < terrain::kMapCells; ++i) terrain::WorldMap[i].height = static_cast<std::int16_t>(i * 7);
    for (int i = 0; i < terrain::kColorMapEntries; ++i) terrain::ColorMap[i] = static_cast<std::uint32_t>(i) * 2654435761u;
    std::vector<terrain::MapCell> map_before(terrain::WorldMap, terrain::WorldMap + terrain::kMapCells);
    std::vector<std::uint32_t> colors_before(terrain::ColorMap, terrain::ColorMap + terrain::kColorMapEntries);

    const testsupport::Transcript t = testsupport::RunScriptText(row.script);
    EXPECT_EQ(ReportLines(t.lines), row.expected) << row.script;
    EXPECT_EQ(t.exit_status, row.status) << row.script;
    if (!row.changes_world) {
      EXPECT_EQ(std::memcmp(map_before.data(), terrain::WorldMap, sizeof terrain::WorldMap), 0) << "map changed";
      EXPECT_EQ(std::memcmp(colors_before.data(), terrain::ColorMap, sizeof terrain::ColorMap), 0)
          << "colour map changed";
    }
    for (const std::string& name : row.absent) EXPECT_FALSE(fs::exists(name)) << name << " was left behind";
    // Nothing but the fixtures: no temporary or partial file from any row.
    for (const auto& entry : fs::directory_iterator(".")) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(name.front() != '.' && name.find(".part") == std::string::npos &&
                  name.find(".tmp") == std::string::npos)
          << name << " left behind";
    }
  }

  static std::string dir_;
  static fs::path old_;
};

std::string BadInput::dir_;
fs::path BadInput::old_;

TEST_F(BadInput, LexicalErrors) {
  const std::vector<Row> rows = {
      {"illegal character after a parameter", "FAR 100%;\n",
       {E(1, "illegal char"), E(2, "\",\" or \";\" expected "), E(3, "Separator expected."), W(1, kSkip),
        E(4, "illegal char")},
       -1},
      {"every illegal character ends the run", "TEST 1;\n\"x\";\nFAR 5;\n", {E(1, "illegal char")}, -1},
      {"real without exponent digits", "FOGT 1e;\n", {E(1, "illegal float const:Can't get value")}, -1},
      {"integer beyond 32 bits", "SETSEED 2147483648;\n", {E(1, "illegal integer const:Can't get value")}, -1},
      {"bad hexadecimal digit", "SETSEED $G;\n", {E(1, "illegal integer const:Can't get value")}, -1},
      {"character code that is a real", "TEST #1.5;\n", {E(1, "illegal string constant")}, -1},
      {"quote not closed on its line", "TEST 'abc\n;\n", {E(1, "Unexpected EOL")}, -1},
      {"#eof in capitals is not the end", "#EOF\n",
       {E(1, "illegal float const:Can't get value"), E(2, "illegal string constant"), E(3, "Command expected."),
        W(1, kSkip)},
       -1},
  };
  for (const Row& row : rows) Check(row);
}

TEST_F(BadInput, StatementAndParameterErrors) {
  const std::vector<Row> rows = {
      {"statement begins with a number", "5;\n", {E(1, "Command expected."), W(1, kSkip)}, -1},
      {"unknown command", "FOO 1,2;\n",
       {E(1, "Command FOO is not found"), E(2, "Separator expected."), W(1, kSkip)}, -1},
      {"empty statement", "FAR 10;;\n", {E(1, "Command ; is not found")}, -1},
      {"last statement without its separator", "FAR 10",
       {E(1, "\",\" or \";\" expected "), E(2, "Separator expected."), W(1, kSkip)}, -1},
      {"minus before a word", "TEST -x;\n", {E(1, "\"-\" sign not followed by number")}, -1},
      {"plus before a string", "TEST +'a';\n", {E(1, "\"+\" sign not followed by number")}, -1},
      {"two numbers without a comma", "TEST 1 2;\n",
       {E(1, "\",\" or \";\" expected "), E(2, "Separator expected."), W(1, kSkip)}, -1},
      {"real where a real is wanted but a string given", "FOGT 'a';\n",
       {E(1, "Floating value expected,DANGER,using default=1")}, -1},
      {"real where an integer is wanted", "INTERLACING 2.0;\n",
       {E(1, "Integer value expected,DANGER,using default=1")}, -1},
      {"a very long unknown word is cut", "X" + std::string(300, 'Y') + ";\n",
       {E(1, ("Command X" + std::string(300, 'Y') + " is not found").substr(0, 255)), E(2, "Separator expected."),
        W(1, kSkip)},
       -1},
  };
  for (const Row& row : rows) Check(row);

  // 100 parameters: the list keeps 64, and whatever the excess does, the
  // run goes on to the next statement.
  std::string many = "TEST 0";
  for (int i = 1; i < 100; ++i) many += "," + std::to_string(i);
  testsupport::ResetProgram();
  const testsupport::Transcript t = testsupport::RunScriptText(many + ";\nFAR 10;\n");
  EXPECT_EQ(t.exit_status, -1);
}

TEST_F(BadInput, CountMessagesOfEveryCommand) {
  const std::vector<Row> rows = {
      {"ABOVELIGHTCOLOR", "ABOVELIGHTCOLOR 1,1,1,1;\n", {E(1, "illegal parameters list for abovelightcolor")}, -1},
      {"CAMERA", "CAMERA 1;\n", {E(1, "invalid parameters list")}, -1},
      {"FAR", "FAR;\n", {E(1, "invalid parameters list")}, -1},
      {"FOGCOLOR", "FOGCOLOR 1,1,1,1;\n", {E(1, "illegal parameters list for FogColor")}, -1},
      {"FOGDT", "FOGDT 1,1;\n", {E(1, "illegal parameters list for Fogdt")}, -1},
      {"FOGT", "FOGT 1,1;\n", {E(1, "illegal parameters list for Fogt")}, -1},
      {"FOV_D", "FOV_D 1,1;\n", {E(1, "illegal parameters list for FOV_D")}, -1},
      {"FOV_H", "FOV_H 1,1;\n", {E(1, "illegal parameters list for FOV_H")}, -1},
      {"FOV_V", "FOV_V 1,1;\n", {E(1, "illegal parameters list for FOV_V")}, -1},
      {"INTERLACING", "INTERLACING 1,1;\n", {E(1, "illegal parameters list for Interlacing")}, -1},
      {"LOAD2DHEIGHTFIELD_LANDSCAPE", "LOAD2DHEIGHTFIELD_LANDSCAPE 1;\n", {E(1, "invalid parameters list")}, -1},
      {"LOADCOLORMAP with a word", "LOADCOLORMAP x;\n", {E(1, "illegal parameters list for LoadColorMap")}, -1},
      {"LOADCOLORMAP with nothing", "LOADCOLORMAP;\n", {E(1, "illegal parameters list for LoadColorMap")}, -1},
      {"RENDER with two values", "RENDER 1, 2;\n", {E(1, "illegal parameters list for Render"), "Internal bug!"},
       -1},
      {"RENDER with a real", "RENDER 1.5;\n", {E(1, "Illegal Parameter"), "Internal bug!"}, -1},
      {"RENDERPORT", "RENDERPORT 1;\n", {E(1, "Invalid parameters for RenderPort")}, -1},
      {"RENDERPORT projection", "RENDERPORT 'std', 2, 2;\n",
       {E(1, "Unknown projection:\"std\" ,stdPerspective used")}, -1},
      {"REVERSELIGHTCOLOR", "REVERSELIGHTCOLOR 1,1,1,1;\n", {E(1, "illegal parameters list for reverselightcolor")},
       -1},
      {"SETSEED", "SETSEED 1,1;\n", {E(1, "illegal parameters list for SetSeed")}, -1},
      {"SUNLIGHTCOLOR", "SUNLIGHTCOLOR 1,1,1,1;\n", {E(1, "illegal parameters list for sunlightcolor")}, -1},
      {"SUNPOS", "SUNPOS 1,2,3;\n", {E(1, "illegal parameters list")}, -1},
      {"TEXPARAM", "TEXPARAM 1,1;\n", {E(1, "illegal parameters list for TEXPARAM")}, -1},
      {"WRITEPARAMS with a word", "WRITEPARAMS p;\n", {E(1, "illegal parameters list")}, -1, false, {"p", "P"}},
      {"WRITETERRAGENRAW with a value", "WRITETERRAGENRAW 1;\n",
       {E(1, "illegal parameters list for WriteTerragenRaw;")}, -1},
      {"@ with a word", "@ foo;\n", {E(1, "String expected")}, -1},
      {"@ with nothing", "@;\n", {E(1, "String expected"), E(2, "Separator expected."), W(1, kSkip)}, -1},
      {"IN without @", "IN 'x';\n",
       {E(1, "use \"in@ 'string'\" or \"in at 'string'\""), E(2, "Separator expected."), W(1, kSkip)}, -1},
      {"OUT without @", "OUT 'x';\n",
       {E(1, "use \"out@ 'string'\" or \"out at 'string'\""), E(2, "Separator expected."), W(1, kSkip)}, -1},
      {"OUT @ with a number", "OUT @ 5;\n", {E(1, "String expected")}, -1},
  };
  for (const Row& row : rows) Check(row);
  fs::remove("terra.raw");
}

TEST_F(BadInput, ColourMapFiles) {
  const std::string p6_header_error = "Illegal PBM P6 header";
  const std::vector<Row> rows = {
      {"missing file", "LOADCOLORMAP 'none.ppm';\n", {"Runtime error 2"}, 2},
      {"a folder", "LOADCOLORMAP 'adir';\n", {"Runtime error 21"}, 21},
      {"plain P3 picture", "LOADCOLORMAP 'p3.ppm';\n",
       {E(1, "BAD FILE FORMAT. Only P6 PBM images without comments in the header are supported."),
        E(2, p6_header_error)},
       -1},
      {"file of one byte", "LOADCOLORMAP 'one-byte.ppm';\n", {"Runtime error 100"}, 100},
      {"header ends after the magic", "LOADCOLORMAP 'magic-only.ppm';\n", {E(1, p6_header_error)}, -1},
      {"256 separators before a field", "LOADCOLORMAP 'separators.ppm';\n", {E(1, p6_header_error)}, -1},
      {"file ends after a comment line", "LOADCOLORMAP 'comment-end.ppm';\n", {"Runtime error 100"}, 100},
      {"fewer rows than announced", "LOADCOLORMAP 'rows-short.ppm';\n",
       {W(1, "wrong image dimensions"), "Runtime error 100"}, 100},
      {"no pixels at all", "LOADCOLORMAP 'no-pixels.ppm';\n", {"Runtime error 100"}, 100},
      {"width other than 256 loads anyway", "LOADCOLORMAP 'width512.ppm';\n",
       {E(1, "BAD FILE FORMAT. Image should have 256xXXX dimensions"), W(1, "wrong image dimensions")}, -1, true},
      {"height that is no number", "LOADCOLORMAP 'height-x1.ppm';\n",
       {E(1, "Illegal numeric "), W(1, "wrong image dimensions")}, -1, true},
      {"height beyond 32 bits", "LOADCOLORMAP 'height-big.ppm';\n",
       {E(1, "Illegal numeric "), W(1, "wrong image dimensions")}, -1, true},
  };
  for (const Row& row : rows) Check(row);
}

TEST_F(BadInput, HeightfieldImports) {
  const std::vector<Row> rows = {
      {"real where an integer is wanted", Import("0.5, 0, 1, 1, 4, 4, 2, 8, 0"),
       {E(1, "Integer value expected,DANGER,using default=1"), kFatal}, 1},
      {"unknown sample type", Import(kGoodLayout, "FLOAT"),
       {E(1, "Supported datatypes: UINT8,INT8,UINT16,INT16  "), kFatal}, 1},
      {"sample type as a lower-case string", Import(kGoodLayout, "'int16'"),
       {E(1, "Supported datatypes: UINT8,INT8,UINT16,INT16  "), kFatal}, 1},
      {"bias that is a word", Import(kGoodLayout, "INT16", "MEAN"),
       {E(1, "Floating value expected,DANGER,using default=1"), kFatal}, 1},
      {"scale that is a string", Import(kGoodLayout, "INT16", "0", "'x'"),
       {E(1, "Floating value expected,DANGER,using default=1"), kFatal}, 1},
      {"file name that is a word", Import(kGoodLayout, "INT16", "0", "1", "h"), {E(1, "String expected"), kFatal},
       1},
      {"first byte before the file", Import("0, 0, 1, 1, 4, 4, -2, 8, 0"),
       {E(1, "You can't read outside file (before file start)"), kFatal}, 1},
      {"last byte after the file", Import("0, 0, 1, 1, 4, 4, 2, 8, 1"),
       {E(1, "You can't read outside file (after file end)"), kFatal}, 1},
      {"strides far beyond any file", Import("0, 0, 1, 1, 2, 2, 2147483647, 2147483647, 2147483647"),
       {E(1, "You can't read outside file (after file end)"), kFatal}, 1},
      {"no samples", Import("0, 0, 1, 1, 0, 4, 2, 8, 0", "INT16", "AUTO"),
       {E(1, "Heightfield width and height must be at least 1"), kFatal}, 1},
      {"negative sample count", Import("0, 0, 1, 1, 4, -4, 2, 8, 0"),
       {E(1, "Heightfield width and height must be at least 1"), kFatal}, 1},
      {"billions of samples from one byte", Import("0, 0, 0, 0, 2000000000, 2000000000, 0, 0, 0", "UINT8", "AUTO"),
       {E(1, "Heightfield of more than 16777216 samples (w x h) is refused"), kFatal}, 1},
      {"missing file", Import(kGoodLayout, "INT16", "0", "1", "'none.raw'"), {"Runtime error 2"}, 2},
      {"a folder", Import(kGoodLayout, "INT16", "0", "1", "'adir'"), {"Runtime error 21"}, 21},
      {"destination beyond column 1023", Import("1021, 0, 1, 1, 4, 4, 2, 8, 0"), {"Runtime error 255"}, 255},
      {"destination beyond row 1023", Import("0, 1000, 1, 9, 4, 4, 2, 8, 0"), {"Runtime error 255"}, 255},
      {"destination before column 0", Import("-1, 0, 1, 1, 4, 4, 2, 8, 0"), {"Runtime error 255"}, 255},
      {"destination stepping backwards out of the map", Import("2, 2, -1, 1, 4, 4, 2, 8, 0"),
       {"Runtime error 255"}, 255},
      {"destination step that wraps 32 bits", Import("0, 0, 2147483647, 1, 4, 4, 2, 8, 0"), {"Runtime error 255"},
       255},
  };
  for (const Row& row : rows) Check(row);
}

TEST_F(BadInput, OutputFiles) {
  const std::vector<Row> rows = {
      // The frame is drawn (and the world generated) before the file opens.
      {"picture into a missing folder", "RENDERPORT 2, 2;\nRENDER 'nodir/x.ppm';\n", {"Runtime error 2"}, 2, true},
      {"picture under a file", "RENDERPORT 2, 2;\nRENDER 'h.raw/x.ppm';\n", {"Runtime error 20"}, 20, true},
      {"picture onto a folder", "RENDERPORT 2, 2;\nRENDER 'adir';\n", {"Runtime error 21"}, 21, true},
      {"parameters into a missing folder", "WRITEPARAMS 'nodir/p.sks';\n", {"Runtime error 2"}, 2},
      {"parameters onto a folder", "WRITEPARAMS 'adir';\n", {"Runtime error 21"}, 21},
      {"picture before any port", "RENDER 'nothing.ppm';\n", {"Internal bug!"}, -1, false, {"nothing.ppm"}},
  };
  for (const Row& row : rows) Check(row);
  fs::remove("terra.raw");
  EXPECT_TRUE(fs::is_directory("adir"));
  EXPECT_TRUE(fs::is_empty("adir"));
}

TEST_F(BadInput, ATerragenFileThatIsAFolder) {
  fs::create_directory("terra.raw");
  Check({"terra.raw is a folder", "WRITETERRAGENRAW;\n", {"Runtime error 21"}, 21});
  fs::remove("terra.raw");
}

TEST_F(BadInput, AbsurdPortSizes) {
  const std::vector<Row> rows = {
      {"zero width", "RENDERPORT 0, 100;\nRENDER 'z.ppm';\n", {"Internal bug!"}, -1, false, {"z.ppm"}},
      {"negative sizes", "RENDERPORT -5, -5;\nRENDER 'n.ppm';\n", {"Internal bug!"}, -1, false, {"n.ppm"}},
      {"larger than any screen",
       "RENDERPORT 40000, 40000;\n",
       {"picture of 40000 x 40000 pixels is too large (at most 33554432 pixels, 32768 per side),port unchanged"},
       -1},
      {"too many pixels within the side limit", "RENDERPORT 32768, 32768;\n",
       {"picture of 32768 x 32768 pixels is too large (at most 33554432 pixels, 32768 per side),port unchanged"},
       -1},
      {"largest integers", "RENDERPORT 2147483647, 2147483647;\n",
       {"picture of 2147483647 x 2147483647 pixels is too large (at most 33554432 pixels, 32768 per side),port "
        "unchanged"},
       -1},
      {"bicone keeps the port", "RENDERPORT BICONE, 4, 4;\nRENDER 'b.ppm';\n",
       {"bicone projection is not available,port unchanged", "Internal bug!"}, -1, false, {"b.ppm"}},
  };
  for (const Row& row : rows) Check(row);
}

// Reals beyond the single range arrive as infinities; every command takes
// them without a report and the frame after them is drawn.
TEST_F(BadInput, NonFiniteNumbers) {
  const std::vector<Row> rows = {
      {"far", "RENDERPORT 3, 3;\nFAR 1e39;\nRENDER 'f.ppm';\nFAR -1e39;\nRENDER 'f.ppm';\n", {}, -1, true},
      {"camera", "RENDERPORT 3, 3;\nCAMERA 1e39, -1e39, 1e39, 1e39, 1e39;\nRENDER 'c.ppm';\n", {}, -1, true},
      {"field of view", "RENDERPORT 3, 3;\nFOV_H 1e39;\nFOV_V -1e39;\nFOV_D 1e39;\nRENDER 'v.ppm';\n",
       {E(1, kFovIgnored), E(2, kFovIgnored), E(3, kFovIgnored)}, -1, true},
      {"heading", "RENDERPORT 3, 3;\nCAMERA 512, 512, 10, 1e39;\nRENDER 'h.ppm';\n", {}, -1, true},
      {"fog and lights",
       "RENDERPORT 3, 3;\nFOGCOLOR 1e39, -1e39, 1e39;\nFOGT 1e39;\nFOGDT -1e39;\nSUNLIGHTCOLOR 1e39, 1e39, 1e39;\n"
       "ABOVELIGHTCOLOR -1e39, 0, 0;\nREVERSELIGHTCOLOR 1e39, 0, 0;\nRENDER 'l.ppm';\n",
       {}, -1, true},
      {"sun position", "RENDERPORT 3, 3;\nSUNPOS 1e39, -1e39;\nRENDER 's.ppm';\n", {}, -1, true},
      {"import scale and bias", Import(kGoodLayout, "INT16", "1e39", "1e39"), {}, -1, true},
      {"written back as parameters", "CAMERA 1e39, 1, 1, 1;\nFOGT -1e39;\nWRITEPARAMS 'inf.sks';\n", {}, -1},
  };
  for (const Row& row : rows) Check(row);
  // What WRITEPARAMS wrote reads back without an error.
  testsupport::ResetProgram();
  std::ifstream in("inf.sks");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(ReportLines(testsupport::RunScriptText(text).lines), std::vector<std::string>{});
  for (const char* name : {"f.ppm", "c.ppm", "v.ppm", "h.ppm", "l.ppm", "s.ppm", "inf.sks"}) fs::remove(name);
}

// A write that fails half way (the file-size limit stands in for a full
// disk) ends the program and leaves no truncated picture behind.
TEST_F(BadInput, PictureCutShortLeavesNoFile) {
  struct rlimit old_limit;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old_limit;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  testsupport::ResetProgram();
  const testsupport::Transcript t = testsupport::RunScriptText("RENDERPORT 64, 64;\nRENDER 'cut.ppm';\n");
  setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(ReportLines(t.lines), std::vector<std::string>{"Runtime error 101"});
  EXPECT_EQ(t.exit_status, 101);
  EXPECT_FALSE(fs::exists("cut.ppm"));
  // Nor under its hidden working name: the failed write removed it.
  for (const auto& entry : fs::directory_iterator(".")) {
    EXPECT_NE(entry.path().filename().string().rfind(".render-", 0), 0u) << entry.path();
  }
}

}  // namespace

namespace {

// A heading of 1e39 (infinity in single precision) draws as heading 0: the
// ray directions stay numbers instead of turning NaN.
TEST(BadInputRender, InfiniteHeadingDrawsAsHeadingZero) {
  const std::string dir = testsupport::ScratchDir("bad-input-heading");
  const fs::path old = fs::current_path();
  fs::current_path(dir);
  testsupport::ResetProgram();
  const testsupport::Transcript t = testsupport::RunScriptText(
      "FOGDT 0;\nRENDERPORT 8, 6;\nCAMERA 300, 700, 40, 1e39;\nRENDER 'inf.ppm';\n"
      "CAMERA 300, 700, 40, 0;\nRENDER 'zero.ppm';\n");
  EXPECT_EQ(t.exit_status, -1);
  auto bytes = [](const char* name) {
    std::ifstream in(name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  EXPECT_EQ(bytes("inf.ppm").size(), 11u + 8 * 6 * 3);
  EXPECT_EQ(bytes("inf.ppm"), bytes("zero.ppm"));
  fs::current_path(old);
}

}  // namespace
