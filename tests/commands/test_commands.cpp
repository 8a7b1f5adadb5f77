#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "commands/setters.h"
#include "engine/state.h"
#include "support/transcript.h"
#include "terrain/worldmap.h"

namespace {

using engine::Engine;
using testsupport::ConsoleCapture;

// The numbered messages of a run, without their "Error [No. n]  :" heads,
// and the engine's own trace lines.
struct Outcome {
  std::vector<std::string> errors;
  std::vector<std::string> warnings;
  std::vector<std::string> engine_lines;  // "sk." lines
  int exit_status = -1;
};

std::string AfterHead(const std::string& line) { return line.substr(line.find("]  :") + 4); }

Outcome RunScene(const std::string& script) {
  const testsupport::Transcript t = testsupport::RunScriptText(script);
  Outcome out;
  out.exit_status = t.exit_status;
  for (const std::string& line : t.lines) {
    if (line.starts_with("Error [No. ")) out.errors.push_back(AfterHead(line));
    if (line.starts_with("Warning [No. ")) out.warnings.push_back(AfterHead(line));
    if (line.starts_with("sk.")) out.engine_lines.push_back(line);
  }
  return out;
}

using Strings = std::vector<std::string>;

const char kFloatExpected[] = "Floating value expected,DANGER,using default=1";
const char kIntExpected[] = "Integer value expected,DANGER,using default=1";

class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override { testsupport::ResetProgram(); }
};

void SetAllFlags() {
  Engine.flags = engine::StageFlags{true, true, true, true, true, true, true, true};
}

// Runs in a scratch directory, so commands that touch fixed file names
// (and the ones that must not) leave nothing behind in the source tree.
class ScratchDirectory {
 public:
  explicit ScratchDirectory(const std::string& name)
      : old_(std::filesystem::current_path()), dir_(testsupport::ScratchDir(name)) {
    std::filesystem::current_path(dir_);
  }
  ~ScratchDirectory() { std::filesystem::current_path(old_); }
  bool Empty() const { return std::filesystem::is_empty(dir_); }

 private:
  std::filesystem::path old_;
  std::string dir_;
};

// Every command with a count check, given a wrong count. Commands that stop
// change nothing; the ones that go on call their setter with slots 0.. as
// they stand (a slot no statement has filled yet yields 1 with its own error).
TEST_F(CommandTest, CountMessagesAndWhetherTheCommandGoesOn) {
  struct Case {
    const char* script;
    Strings errors;
    std::function<bool()> effect;
  };
  const Case cases[] = {
      // Stops.
      {"CAMERA 1, 2, 3;", {"invalid parameters list"},
       [] { return Engine.camera.x == 0 && Engine.rendercamera.x == 2097152; }},
      {"CAMERA 1, 2, 3, 4, 5, 6;", {"invalid parameters list"},
       [] { return Engine.camera.x == 0 && Engine.far == 256; }},
      {"FAR;", {"invalid parameters list"}, [] { return Engine.far == 256; }},
      {"FAR 100, 200;", {"invalid parameters list"}, [] { return Engine.far == 256; }},
      {"RENDERPORT 320;", {"Invalid parameters for RenderPort"},
       [] { return engine::ImageBuffer.data == nullptr; }},
      {"RENDERPORT STD, 320, 200, 1;", {"Invalid parameters for RenderPort"},
       [] { return engine::ImageBuffer.data == nullptr; }},
      {"LOADCOLORMAP;", {"illegal parameters list for LoadColorMap"},
       [] { return !Engine.flags.colormapready; }},
      {"LOADCOLORMAP 5;", {"illegal parameters list for LoadColorMap"},
       [] { return !Engine.flags.colormapready; }},
      {"LOADCOLORMAP 'a', 'b';", {"illegal parameters list for LoadColorMap"},
       [] { return !Engine.flags.colormapready; }},
      {"WRITEPARAMS;", {"illegal parameters list"}, [] { return true; }},
      {"WRITEPARAMS 7;", {"illegal parameters list"}, [] { return true; }},
      {"LOAD2DHEIGHTFIELD_LANDSCAPE 1, 2;", {"invalid parameters list"},
       [] { return !Engine.flags.landscapeready; }},
      // Goes on.
      {"FOGCOLOR 0.5;", {"illegal parameters list for FogColor", kFloatExpected, kFloatExpected},
       [] { return Engine.fogcolor.r == 0.5f && Engine.fogcolor.g == 1 && Engine.fogcolor.b == 1; }},
      {"ABOVELIGHTCOLOR 0.5;",
       {"illegal parameters list for abovelightcolor", kFloatExpected, kFloatExpected},
       [] { return Engine.abovelightcolor.r == 0.5f && Engine.abovelightcolor.b == 1; }},
      {"REVERSELIGHTCOLOR;",
       {"illegal parameters list for reverselightcolor", kFloatExpected, kFloatExpected,
        kFloatExpected},
       [] { return Engine.reverselightcolor.r == 1 && Engine.reverselightcolor.g == 1; }},
      {"SUNLIGHTCOLOR 1, 2, 3, 4;", {"illegal parameters list for sunlightcolor"},
       [] { return Engine.sunlightcolor.g == 2 && Engine.sunlightcolor.b == 3; }},
      {"FOGDT 0.25, 9;", {"illegal parameters list for Fogdt"},
       [] { return Engine.fogdt == 0.25f; }},
      {"FOGT;", {"illegal parameters list for Fogt", kFloatExpected},
       [] { return Engine.fogt == 1; }},
      {"FOV_D;", {"illegal parameters list for FOV_D", kFloatExpected},
       [] { return Engine.fovmode == 2 && Engine.flags.fovset; }},
      {"FOV_H 1, 2;", {"illegal parameters list for FOV_H"},
       [] { return Engine.fovmode == 1 && Engine.flags.fovset; }},
      {"FOV_V 1, 2;", {"illegal parameters list for FOV_V"},
       [] { return Engine.fovmode == 0 && Engine.flags.fovset; }},
      {"INTERLACING 3, 4;", {"illegal parameters list for Interlacing"},
       [] { return Engine.interlacing == 3; }},
      {"SETSEED;", {"illegal parameters list for SetSeed", kIntExpected},
       [] { return Engine.setseed == 1; }},
      {"SUNPOS 0.5;", {"illegal parameters list", kFloatExpected},
       [] { return Engine.sunfirst == 0.5f && Engine.sunelevation == 1; }},
      {"TEXPARAM 3, 4;", {"illegal parameters list for TEXPARAM"},
       [] { return Engine.texparam == 3; }},
      // No check at all.
      {"TEST;", {}, [] { return true; }},
      {"ASSIGN 1, 'x';", {}, [] { return true; }},
  };
  ScratchDirectory scratch("commands-counts");
  for (const Case& c : cases) {
    testsupport::ResetProgram();
    const Outcome out = RunScene(c.script);
    EXPECT_EQ(out.errors, c.errors) << c.script;
    EXPECT_TRUE(out.warnings.empty()) << c.script;
    EXPECT_EQ(out.exit_status, -1) << c.script;
    EXPECT_TRUE(c.effect()) << c.script;
  }
  EXPECT_TRUE(scratch.Empty());  // WRITEPARAMS and the import stopped before any file
}

TEST_F(CommandTest, TerragenExportGoesOnAfterItsCountMessage) {
  ScratchDirectory scratch("commands-terragen");
  const Outcome out = RunScene("WRITETERRAGENRAW 5;");
  ASSERT_FALSE(out.errors.empty());
  EXPECT_EQ(out.errors[0], "illegal parameters list for WriteTerragenRaw;");
  EXPECT_TRUE(std::filesystem::exists("terra.raw"));
}

TEST_F(CommandTest, TestAndAssignOnlyReadAndTrace) {
  const testsupport::Transcript t = testsupport::RunScriptText("TEST;\nASSIGN 1, 'x';\n");
  EXPECT_EQ(t.lines, (Strings{"reading params", "interpreter debug: RunProcTest was called",
                              "Parameters:", ".", "reading params",
                              "interpreter debug: RunProcAssign was called", "Parameters:",
                              "int,value=1", "string, value=\"x\"", ".", "Statistics:",
                              "no errors,no warnings"}));
}

TEST_F(CommandTest, FirstFogtOfARunTakesOneFromAnEmptySlot) {
  const testsupport::Transcript t = testsupport::RunScriptText("FOGT;");
  EXPECT_EQ(t.lines, (Strings{"reading params", "interpreter debug: RunProcFogt was called",
                              "Parameters:", ".",
                              "Error [No. 1]  :illegal parameters list for Fogt",
                              "Error [No. 2]  :" + std::string(kFloatExpected), "Statistics:",
                              "2 errors,no warnings,it probably was incorrectly executed."}));
  EXPECT_EQ(Engine.fogt, 1.0f);
}

// A short statement reuses what an earlier statement left in the slots.
TEST_F(CommandTest, StaleSlotsFeedACommandThatGoesOn) {
  const Outcome out = RunScene("CAMERA 1, 2, 3, 4; FOGCOLOR 0.5;");
  EXPECT_EQ(out.errors, Strings{"illegal parameters list for FogColor"});
  EXPECT_EQ(Engine.fogcolor.r, 0.5f);
  EXPECT_EQ(Engine.fogcolor.g, 1.0f);
  EXPECT_EQ(Engine.fogcolor.b, 1.0f);
  EXPECT_EQ(Engine.fogcolor16[0], 32640);
  EXPECT_EQ(Engine.fogcolor16[2], 65280);
}

TEST_F(CommandTest, FogColorIsLimitedPerChannel) {
  struct Case {
    const char* script;
    engine::Color color;
    std::int32_t c16[3];
  };
  const Case cases[] = {
      {"FOGCOLOR 0.2, 0.4, 1.7;", {0.2f, 0.4f, 1.0f}, {13056, 26112, 65280}},
      {"FOGCOLOR -0.5, 0, 1;", {0.0f, 0.0f, 1.0f}, {0, 0, 65280}},
      {"FOGCOLOR 0.78431374, 0.001, 0.99999;", {0.78431374f, 0.001f, 0.99999f},
       {51200, 65, 65279}},
  };
  for (const Case& c : cases) {
    testsupport::ResetProgram();
    SetAllFlags();
    const Outcome out = RunScene(c.script);
    EXPECT_TRUE(out.errors.empty()) << c.script;
    EXPECT_EQ(Engine.fogcolor.r, c.color.r) << c.script;
    EXPECT_EQ(Engine.fogcolor.g, c.color.g) << c.script;
    EXPECT_EQ(Engine.fogcolor.b, c.color.b) << c.script;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Engine.fogcolor16[i], c.c16[i]) << c.script << i;
    EXPECT_TRUE(Engine.flags.lightnessready && Engine.flags.shadingready) << c.script;
  }
}

TEST_F(CommandTest, FarDistanceRoundsHalvesToEven) {
  struct Case {
    const char* script;
    float far;
  };
  const Case cases[] = {
      {"CAMERA 10, 20, 5, 0, 300.5;", 300}, {"FAR 301.5;", 302}, {"FAR 2.5;", 2},
      {"FAR -2.5;", -2},                    {"FAR 300.4999;", 300}, {"FAR 1000;", 1000},
      {"CAMERA 10, 20, 5, 0;", 256},  // four values leave far alone
      {"FAR 1e20;", 2147483647.0f},   // beyond 32 bits: held at the limit
  };
  for (const Case& c : cases) {
    testsupport::ResetProgram();
    const Outcome out = RunScene(c.script);
    EXPECT_TRUE(out.errors.empty()) << c.script;
    EXPECT_EQ(Engine.far, c.far) << c.script;
  }
}

TEST_F(CommandTest, CameraSetsScriptAndRenderCamera) {
  SetAllFlags();
  const Outcome out = RunScene("camera 10, 20.5, 5, 1.25;");
  EXPECT_TRUE(out.errors.empty());
  EXPECT_EQ(Engine.camera.x, 10.0f);
  EXPECT_EQ(Engine.camera.y, 20.5f);
  EXPECT_EQ(Engine.camera.z, 5.0f);
  EXPECT_EQ(Engine.camera.angle, 1.25f);
  EXPECT_EQ(Engine.rendercamera.x, 40960);
  EXPECT_EQ(Engine.rendercamera.y, 83968);
  EXPECT_EQ(Engine.rendercamera.z, 20480);
  EXPECT_EQ(Engine.renderangle, 1.25f);
  EXPECT_TRUE(Engine.flags.landscapeready && Engine.flags.shadingready);
}

TEST_F(CommandTest, IntegerCommandsAndTheirLimits) {
  struct Case {
    const char* script;
    Strings errors;
    std::function<bool()> effect;
  };
  const Case cases[] = {
      {"TEXPARAM 20;", {}, [] { return Engine.texparam == 14; }},
      {"TEXPARAM -1;", {}, [] { return Engine.texparam == 0; }},
      {"TEXPARAM 14;", {}, [] { return Engine.texparam == 14; }},
      {"TEXPARAM 2.5;", {kIntExpected}, [] { return Engine.texparam == 1; }},
      {"INTERLACING 0;", {}, [] { return Engine.interlacing == 1; }},
      {"INTERLACING 4; INTERLACING -3;", {}, [] { return Engine.interlacing == 4; }},
      {"INTERLACING 2.0;", {kIntExpected}, [] { return Engine.interlacing == 1; }},
      {"SETSEED -7;", {}, [] { return Engine.setseed == -7; }},
  };
  for (const Case& c : cases) {
    testsupport::ResetProgram();
    const Outcome out = RunScene(c.script);
    EXPECT_EQ(out.errors, c.errors) << c.script;
    EXPECT_TRUE(c.effect()) << c.script;
  }
}

TEST_F(CommandTest, SetSeedPrintsItsLineAndTouchesNoFlag) {
  SetAllFlags();
  const Outcome out = RunScene("SETSEED 42;");
  EXPECT_EQ(out.engine_lines, Strings{"sk.setseed 42 called"});
  EXPECT_EQ(Engine.setseed, 42);
  EXPECT_TRUE(Engine.flags.landscapeready);
}

TEST_F(CommandTest, FieldOfViewFactorAndMode) {
  const Outcome out = RunScene("FOV_H 1.5707964;");
  EXPECT_TRUE(out.errors.empty());
  EXPECT_FLOAT_EQ(Engine.fovfactor, 0.5f);
  EXPECT_EQ(Engine.fovmode, 1);
  EXPECT_TRUE(Engine.flags.fovset);

  RunScene("FOV_D 1;");
  EXPECT_FLOAT_EQ(Engine.fovfactor, static_cast<float>(1 / (2 * std::tan(0.5))));
  EXPECT_EQ(Engine.fovmode, 2);
  RunScene("FOV_V 2.0;");
  EXPECT_FLOAT_EQ(Engine.fovfactor, static_cast<float>(1 / (2 * std::tan(1.0))));
  EXPECT_EQ(Engine.fovmode, 0);
}

// An angle without a usable factor is reported and changes nothing: the
// renderer only ever sees angles strictly between 0 and pi.
TEST_F(CommandTest, UnusableFieldOfViewAnglesAreRefused) {
  for (const char* script : {"FOV_H 0;", "FOV_V -0.5;", "FOV_D 3.1415927;", "FOV_H 4;",
                             "FOV_H 1e-6;", "FOV_V 1e39;"}) {
    testsupport::ResetProgram();
    const Outcome out = RunScene(script);
    ASSERT_FALSE(out.errors.empty()) << script;
    EXPECT_EQ(out.errors.back(), "Field of view angle out of range (0..pi),ignored") << script;
    EXPECT_FALSE(Engine.flags.fovset) << script;
    EXPECT_EQ(Engine.fovfactor, 0.0f) << script;
  }
  testsupport::ResetProgram();
  RunScene("FOV_H 1; FOV_V 0;");
  EXPECT_EQ(Engine.fovmode, 1);  // the earlier choice stays
  EXPECT_FLOAT_EQ(Engine.fovfactor, static_cast<float>(1 / (2 * std::tan(0.5))));
}

TEST_F(CommandTest, SunAndLightCommandsClearTheirFlagsOnly) {
  SetAllFlags();
  RunScene("SUNLIGHTCOLOR 2, -1, 0.5;");
  EXPECT_EQ(Engine.sunlightcolor.r, 2.0f);
  EXPECT_EQ(Engine.sunlightcolor.g, -1.0f);
  EXPECT_EQ(Engine.sunlightcolor.b, 0.5f);
  EXPECT_FALSE(Engine.flags.lightnessready);
  EXPECT_TRUE(Engine.flags.shadingready);

  SetAllFlags();
  RunScene("ABOVELIGHTCOLOR 0.3, 0.2, 0.1; REVERSELIGHTCOLOR 3, 2, 1;");
  EXPECT_EQ(Engine.abovelightcolor.b, 0.1f);
  EXPECT_EQ(Engine.reverselightcolor.r, 3.0f);
  EXPECT_FALSE(Engine.flags.lightnessready);
  EXPECT_TRUE(Engine.flags.shadingready);

  SetAllFlags();
  RunScene("SUNPOS 1.5, 0.3;");
  EXPECT_EQ(Engine.sunfirst, 1.5f);
  EXPECT_EQ(Engine.sunelevation, 0.3f);
  EXPECT_FALSE(Engine.flags.lightnessready);
  EXPECT_FALSE(Engine.flags.shadingready);
  EXPECT_TRUE(Engine.flags.landscapeready && Engine.flags.bumpready && Engine.flags.cloudsready &&
              Engine.flags.texturesready && Engine.flags.colormapready && Engine.flags.fovset);

  SetAllFlags();
  RunScene("FOGCOLOR 0.1, 0.1, 0.1; FOGT 3; FOGDT 0.5; FAR 100; TEXPARAM 4; INTERLACING 2;");
  EXPECT_TRUE(Engine.flags.lightnessready && Engine.flags.shadingready);
}

TEST_F(CommandTest, RenderPortProjectionWords) {
  struct Case {
    const char* script;
    Strings errors;
    Strings engine_lines;
    bool allocated;
  };
  const Strings port = {"sk.renderport w=32 h=20 called"};
  const Case cases[] = {
      {"RENDERPORT 32, 20;", {}, port, true},
      {"RENDERPORT STD, 32, 20;", {}, port, true},
      {"renderport stdperspective, 32, 20;", {}, port, true},
      {"RENDERPORT 'std', 32, 20;", {"Unknown projection:\"std\" ,stdPerspective used"}, port,
       true},
      {"RENDERPORT 5, 32, 20;", {"Unknown projection:\"\" ,stdPerspective used"}, port, true},
      {"RENDERPORT 'bicone', 32, 20;", {"Unknown projection:\"bicone\" ,stdPerspective used"},
       port, true},
      {"RENDERPORT bicone, 32, 20;", {}, port, false},
      {"RENDERPORT BICONEPANORAM, 32, 20;", {}, port, false},
      {"RENDERPORT 32, 'x';", {kIntExpected}, {"sk.renderport w=32 h=1 called"}, true},
  };
  for (const Case& c : cases) {
    testsupport::ResetProgram();
    const Outcome out = RunScene(c.script);
    EXPECT_EQ(out.errors, c.errors) << c.script;
    EXPECT_EQ(out.engine_lines, c.engine_lines) << c.script;
    EXPECT_EQ(engine::ImageBuffer.data != nullptr, c.allocated) << c.script;
  }
}

TEST_F(CommandTest, AbsurdPortFromAScriptIsRefusedAndTheRunGoesOn) {
  RunScene("RENDERPORT 64, 48; RENDERPORT 100000, 100000; FAR 10;");
  EXPECT_EQ(engine::ImageBuffer.width, 64);
  EXPECT_EQ(engine::ImageBuffer.height, 48);
  EXPECT_EQ(Engine.far, 10.0f);
}

// Setter conversions that a script cannot reach exactly.
TEST_F(CommandTest, SetCameraRoundsFixedPointHalvesToEven) {
  const float unit = 1.0f / 4096.0f;
  commands::SetCamera(0.5f * unit, 1.5f * unit, 2.5f * unit, 0);
  EXPECT_EQ(Engine.rendercamera.x, 0);
  EXPECT_EQ(Engine.rendercamera.y, 2);
  EXPECT_EQ(Engine.rendercamera.z, 2);
  commands::SetCamera(-0.5f * unit, -1.5f * unit, -2.5f * unit, 0);
  EXPECT_EQ(Engine.rendercamera.x, 0);
  EXPECT_EQ(Engine.rendercamera.y, -2);
  EXPECT_EQ(Engine.rendercamera.z, -2);
}

// Far outside the 20.12 range the horizontal position keeps its cell on the
// wrapping map, the height stays at its limit, and NaN lands on 0.
TEST_F(CommandTest, SetCameraOutOfFixedPointRange) {
  commands::SetCamera(600000.0f, -600001.0f, 1e9f, 0);
  EXPECT_EQ(terrain::CellIndexFixed(Engine.rendercamera.x, Engine.rendercamera.y),
            terrain::CellIndex(600000, -600001));
  EXPECT_EQ(Engine.rendercamera.z, std::numeric_limits<std::int32_t>::max());
  const float nan = std::numeric_limits<float>::quiet_NaN();
  commands::SetCamera(nan, 1e30f, -1e9f, nan);
  EXPECT_EQ(Engine.rendercamera.x, 0);
  EXPECT_EQ(Engine.rendercamera.y, 0);
  EXPECT_EQ(Engine.rendercamera.z, std::numeric_limits<std::int32_t>::min());
}

TEST_F(CommandTest, FogColorTreatsNaNAsZero) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  commands::SetFogColor(nan, std::numeric_limits<float>::infinity(), 0.5f);
  EXPECT_EQ(Engine.fogcolor.r, 0.0f);
  EXPECT_EQ(Engine.fogcolor.g, 1.0f);
  EXPECT_EQ(Engine.fogcolor16[0], 0);
  EXPECT_EQ(Engine.fogcolor16[1], 65280);
  EXPECT_EQ(Engine.fogcolor16[2], 32640);
}

TEST_F(CommandTest, SetColorMapCopiesTheWholeTable) {
  std::vector<std::uint32_t> table(terrain::kColorMapEntries);
  for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<std::uint32_t>(i * 7);
  commands::SetColorMap(table.data());
  EXPECT_TRUE(Engine.flags.colormapready);
  EXPECT_EQ(terrain::ColorMap[0], 0u);
  EXPECT_EQ(terrain::ColorMap[terrain::kColorMapEntries - 1],
            static_cast<std::uint32_t>((terrain::kColorMapEntries - 1) * 7));
}

}  // namespace
