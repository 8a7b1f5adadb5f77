#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "commands/autosave.h"
#include "engine/state.h"
#include "support/transcript.h"

namespace {

using commands::FormatParamReal;
using engine::Engine;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Splits at CR LF; every line must end with both.
std::vector<std::string> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "line without CR LF: " << text.substr(start);
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::vector<std::string> Errors(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const std::string& l : lines) {
    if (l.rfind("Error [", 0) == 0 || l.rfind("Warning [", 0) == 0) out.push_back(l);
  }
  return out;
}

class Autosave : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::ResetProgram();
    dir_ = testsupport::ScratchDir("autosave");
    ASSERT_EQ(::chdir(dir_.c_str()), 0);
  }
  void TearDown() override { ASSERT_EQ(::chdir("/"), 0); }

  std::string dir_;
};

TEST(FormatParamReal, TenSignificantDigitsHalvesAwayFromZero) {
  const struct {
    float value;
    const char* text;
  } cases[] = {
      {0.0f, " 0.000000000E+00"},
      {-0.0f, " 0.000000000E+00"},
      {256.0f, " 2.560000000E+02"},
      {-0.25f, "-2.500000000E-01"},
      {0.1f, " 1.000000015E-01"},
      {512.5f, " 5.125000000E+02"},
      {-0.785398f, "-7.853980064E-01"},
      {51200.0f / 65280.0f, " 7.843137383E-01"},
      // 2^-15 is exactly 3.0517578125E-05: the half goes away from zero,
      // where printf's even rule would write ...812.
      {0x1p-15f, " 3.051757813E-05"},
      {-0x1p-15f, "-3.051757813E-05"},
      {0x1p-16f, " 1.525878906E-05"},
      {1e10f, " 1.000000000E+10"},
      {FLT_MAX, " 3.402823466E+38"},
      {-FLT_MAX, "-3.402823466E+38"},
      {FLT_MIN, " 1.175494351E-38"},
      {std::numeric_limits<float>::denorm_min(), " 1.401298464E-45"},
      // Not finite: the largest single of the sign, and 0 for NaN, so the
      // file stays a script that reads back.
      {std::numeric_limits<float>::infinity(), " 3.402823466E+38"},
      {-std::numeric_limits<float>::infinity(), "-3.402823466E+38"},
      {std::numeric_limits<float>::quiet_NaN(), " 0.000000000E+00"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatParamReal(c.value), c.text) << std::hexfloat << c.value;
    EXPECT_EQ(FormatParamReal(c.value).size(), 16u);
  }
}

TEST_F(Autosave, DefaultBlockByteForByte) {
  commands::WriteParamsFile("defaults.sks");
  EXPECT_EQ(ReadAll("defaults.sks"),
            "// autosaved parameters ;\r\n"
            "setseed 0;\r\n"
            "camera  0.000000000E+00, 0.000000000E+00, 0.000000000E+00, 0.000000000E+00, 2.560000000E+02;\r\n"
            "fogt  0.000000000E+00;\r\n"
            "fogdt  1.000000000E+00;\r\n"
            "fogcolor  7.843137383E-01, 7.843137383E-01, 7.843137383E-01;\r\n"
            "sunlightcolor  8.999999762E-01, 8.500000238E-01, 8.000000119E-01;\r\n"
            "abovelightcolor  1.000000015E-01, 1.199999973E-01, 1.400000006E-01;\r\n"
            "reverselightcolor  1.400000006E-01, 1.199999973E-01, 1.000000015E-01;\r\n");
}

TEST_F(Autosave, StatementsWriteTheirValues) {
  const testsupport::Transcript t = testsupport::RunScriptText(
      "CAMERA 512.5, 10, 3, -0.785398, 300;\n"
      "SETSEED -7;\n"
      "WRITEPARAMS 'view.sks';\n");
  EXPECT_EQ(Errors(t.lines), std::vector<std::string>{});
  const std::vector<std::string> lines = CrLfLines(ReadAll("view.sks"));
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[1], "setseed -7;");
  EXPECT_EQ(lines[2], "camera  5.125000000E+02, 1.000000000E+01, 3.000000000E+00,-7.853980064E-01, 3.000000000E+02;");
  // The trace names the handler as the command table does.
  EXPECT_NE(std::find(t.lines.begin(), t.lines.end(), "interpreter debug: RunProcWritePara,s was called"),
            t.lines.end());
}

TEST_F(Autosave, EachCallAppendsOneBlock) {
  std::ofstream("kept.sks", std::ios::binary) << "far 100;\r\n";
  testsupport::RunScriptText("WRITEPARAMS 'two.sks'; FOGT 5; WRITEPARAMS 'two.sks'; WRITEPARAMS 'kept.sks';");
  const std::vector<std::string> two = CrLfLines(ReadAll("two.sks"));
  ASSERT_EQ(two.size(), 18u);
  EXPECT_EQ(two[3], "fogt  0.000000000E+00;");
  EXPECT_EQ(two[9], "// autosaved parameters ;");
  EXPECT_EQ(two[12], "fogt  5.000000000E+00;");
  const std::vector<std::string> kept = CrLfLines(ReadAll("kept.sks"));
  ASSERT_EQ(kept.size(), 10u);
  EXPECT_EQ(kept[0], "far 100;");
}

TEST_F(Autosave, OutPatternNamesTheFile) {
  testsupport::RunScriptText("OUT @ '%.sks'; WRITEPARAMS 'view';");
  EXPECT_EQ(CrLfLines(ReadAll("view.sks")).size(), 9u);
}

TEST_F(Autosave, WrongStatementsWriteNothing) {
  const testsupport::Transcript t =
      testsupport::RunScriptText("WRITEPARAMS;\nWRITEPARAMS p;\nWRITEPARAMS 'a', 'b';\nWRITEPARAMS 5;\n");
  EXPECT_EQ(Errors(t.lines), (std::vector<std::string>{
                                 "Error [No. 1]  :illegal parameters list",
                                 "Error [No. 2]  :illegal parameters list",
                                 "Error [No. 3]  :illegal parameters list",
                                 "Error [No. 4]  :illegal parameters list",
                             }));
  EXPECT_FALSE(std::ifstream("p").good());
  EXPECT_FALSE(std::ifstream("P").good());
  EXPECT_FALSE(std::ifstream("a").good());
}

TEST_F(Autosave, UnwritableFileEndsWithTheRunTimeReport) {
  const testsupport::Transcript t = testsupport::RunScriptText("WRITEPARAMS 'no/such/dir/x.sks';");
  EXPECT_EQ(t.exit_status, 2);
  ASSERT_FALSE(t.lines.empty());
  EXPECT_EQ(t.lines.back().rfind("Runtime error 2 at ", 0), 0u) << t.lines.back();
}

// Runs a written file as a script and compares every value bit for bit.
TEST_F(Autosave, WrittenFileGivesBackTheSame32BitValues) {
  const float awkward[] = {0.1f, 1.0f / 3.0f, 0x1p-15f, -123456.789f, 1e-40f, 3.0e38f, -7.0e-12f, 0.999999940f};
  for (std::size_t k = 0; k < std::size(awkward); ++k) {
    testsupport::ResetProgram();
    Engine.setseed = INT32_MIN + static_cast<std::int32_t>(k);  // -2^31 first
    Engine.camera = {awkward[k], -awkward[k], awkward[(k + 1) % 8], awkward[(k + 2) % 8]};
    Engine.far = 301.0f;
    Engine.fogt = awkward[(k + 3) % 8];
    Engine.fogdt = -awkward[(k + 4) % 8];
    Engine.fogcolor = {0.333333343f, 0.1f, 0.999999940f};  // within 0..1: FOGCOLOR keeps it
    Engine.sunlightcolor = {awkward[(k + 5) % 8], 2.0f, -1.0f};
    Engine.abovelightcolor = {awkward[(k + 6) % 8], 0.0f, 0.5f};
    Engine.reverselightcolor = {awkward[(k + 7) % 8], 1e-3f, 7.0f};
    const engine::EngineState saved = Engine;
    const std::string name = "round" + std::to_string(k) + ".sks";
    commands::WriteParamsFile(name);

    testsupport::ResetProgram();
    const testsupport::Transcript t = testsupport::RunScriptText(ReadAll(name));
    EXPECT_EQ(Errors(t.lines), std::vector<std::string>{}) << k;
    EXPECT_EQ(Engine.setseed, saved.setseed);
    const std::pair<float, float> pairs[] = {
        {Engine.camera.x, saved.camera.x},
        {Engine.camera.y, saved.camera.y},
        {Engine.camera.z, saved.camera.z},
        {Engine.camera.angle, saved.camera.angle},
        {Engine.far, saved.far},
        {Engine.fogt, saved.fogt},
        {Engine.fogdt, saved.fogdt},
        {Engine.fogcolor.r, saved.fogcolor.r},
        {Engine.fogcolor.g, saved.fogcolor.g},
        {Engine.fogcolor.b, saved.fogcolor.b},
        {Engine.sunlightcolor.r, saved.sunlightcolor.r},
        {Engine.sunlightcolor.g, saved.sunlightcolor.g},
        {Engine.sunlightcolor.b, saved.sunlightcolor.b},
        {Engine.abovelightcolor.r, saved.abovelightcolor.r},
        {Engine.abovelightcolor.g, saved.abovelightcolor.g},
        {Engine.abovelightcolor.b, saved.abovelightcolor.b},
        {Engine.reverselightcolor.r, saved.reverselightcolor.r},
        {Engine.reverselightcolor.g, saved.reverselightcolor.g},
        {Engine.reverselightcolor.b, saved.reverselightcolor.b},
    };
    for (std::size_t i = 0; i < std::size(pairs); ++i) {
      EXPECT_EQ(std::bit_cast<std::uint32_t>(pairs[i].first), std::bit_cast<std::uint32_t>(pairs[i].second))
          << "value " << i << " of file " << k << ": " << pairs[i].first << " vs " << pairs[i].second;
    }
  }
}

TEST_F(Autosave, LowestSeedIsWrittenSoThatItReadsBack) {
  Engine.setseed = INT32_MIN;
  commands::WriteParamsFile("lowest.sks");
  EXPECT_EQ(CrLfLines(ReadAll("lowest.sks"))[1], "setseed $80000000;");
  Engine.setseed = INT32_MIN + 1;
  commands::WriteParamsFile("next.sks");
  EXPECT_EQ(CrLfLines(ReadAll("next.sks"))[1], "setseed -2147483647;");
}

TEST_F(Autosave, NonFiniteRealsKeepTheScriptRunnable) {
  Engine.fogt = std::numeric_limits<float>::infinity();
  Engine.fogdt = -std::numeric_limits<float>::infinity();
  Engine.camera.x = std::numeric_limits<float>::quiet_NaN();
  commands::WriteParamsFile("odd.sks");
  testsupport::ResetProgram();
  const testsupport::Transcript t = testsupport::RunScriptText(ReadAll("odd.sks"));
  EXPECT_EQ(Errors(t.lines), std::vector<std::string>{});
  EXPECT_EQ(Engine.fogt, FLT_MAX);
  EXPECT_EQ(Engine.fogdt, -FLT_MAX);
  EXPECT_EQ(Engine.camera.x, 0.0f);
}

}  // namespace
