#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/state.h"
#include "support/transcript.h"
#include "terrain/worldmap.h"

namespace {

namespace fs = std::filesystem;
using engine::Engine;
using testsupport::RunScriptText;
using testsupport::Transcript;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Has(const Transcript& t, const std::string& line) {
  return std::find(t.lines.begin(), t.lines.end(), line) != t.lines.end();
}

std::vector<std::string> Errors(const Transcript& t) {
  std::vector<std::string> out;
  for (const std::string& l : t.lines) {
    if (l.starts_with("Error [")) out.push_back(l);
  }
  return out;
}

std::vector<std::string> Listing() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(".")) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// A flat world in one colour under a clear sky, ready without generation.
void FlatWorld(std::uint32_t colour) {
  testsupport::ClearWorld();
  for (auto& cell : terrain::WorldMap) cell.cloud[0] = cell.cloud[2] = 2000;
  for (auto& c : terrain::ColorMap) c = colour;
  for (auto& e : terrain::SunLightTable) e = {1, 1, 1};
  Engine.flags = engine::StageFlags{true, true, true, true, true, false, true, true};
}

class PictureFile : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::ResetProgram();
    FlatWorld(0x00123456);
    dir_ = testsupport::ScratchDir("picture");
    ASSERT_EQ(::chdir(dir_.c_str()), 0);
  }
  void TearDown() override { ::chdir("/"); }

  std::string dir_;
};

TEST_F(PictureFile, CounterNamedPictureOfFourByTwo) {
  const Transcript t = RunScriptText("RENDERPORT 4, 2; RENDER; RENDER;");
  EXPECT_TRUE(Has(t, "Rendering image,name=\"0\""));
  EXPECT_TRUE(Has(t, "Transponing and saving image 0 Kbytes total"));
  EXPECT_TRUE(Has(t, "Rendering image,name=\"1\""));
  const std::string file = ReadAll("0");
  ASSERT_EQ(file.size(), 11u + 4 * 2 * 3);
  EXPECT_EQ(file.substr(0, 11), "P6 4 2 255\n");
  EXPECT_EQ(Listing(), (std::vector<std::string>{"0", "1"}));
}

TEST_F(PictureFile, NamesByCounterStringAndNumber) {
  const Transcript t = RunScriptText(
      "RENDERPORT 4, 2;\n"
      "RENDER 7; RENDER; RENDER 'a.ppm'; RENDER -2;\n"
      "RENDER 1.5; RENDER 1, 2;\n");
  EXPECT_EQ(Errors(t), (std::vector<std::string>{"Error [No. 1]  :Illegal Parameter",
                                                 "Error [No. 2]  :illegal parameters list for Render"}));
  // 7 and 8 by number and counter, a.ppm by name, -2 by number, then the
  // counter (at -1) names the two faulty statements.
  EXPECT_EQ(Listing(), (std::vector<std::string>{"-1", "-2", "0", "7", "8", "a.ppm"}));
}

TEST_F(PictureFile, OutputPatternAppliesToCounterNames) {
  fs::create_directory("pics");
  RunScriptText("OUT @ 'pics/%.ppm'; RENDERPORT 4, 2; RENDER; RENDER 'x';");
  EXPECT_TRUE(fs::exists("pics/0.ppm"));
  EXPECT_TRUE(fs::exists("pics/x.ppm"));
}

TEST_F(PictureFile, NoPictureBufferWritesNothing) {
  // Before any port, and after a bicone port, which has no renderer.
  for (const char* script : {"RENDER;", "RENDERPORT BICONE, 4, 2; RENDER;"}) {
    testsupport::ResetProgram();
    const Transcript t = RunScriptText(script);
    const auto it = std::find(t.lines.begin(), t.lines.end(), "Rendering image,name=\"0\"");
    ASSERT_NE(it, t.lines.end()) << script;
    ASSERT_GE(t.lines.end() - it, 3);
    EXPECT_EQ(it[1], "Transponing and saving image 0 Kbytes total");
    EXPECT_EQ(it[2], "Internal bug!");
    EXPECT_TRUE(Listing().empty()) << script;
    EXPECT_EQ(t.exit_status, -1);
  }
}

TEST_F(PictureFile, RowsTopDownEachLeftToRight) {
  // Ground (0x123456) fills the bottom of the picture, sky the top.
  RunScriptText("CAMERA 100.5, 100.5, 3, 0; RENDERPORT 3, 40; RENDER 'p';");
  const std::string file = ReadAll("p");
  const std::string header = "P6 3 40 255\n";
  ASSERT_EQ(file.size(), header.size() + 3 * 40 * 3);
  EXPECT_EQ(file.substr(0, header.size()), header);
  const std::size_t last_row = file.size() - 3 * 3;
  EXPECT_EQ(file.substr(last_row, 3), "\x12\x34\x56");
  for (std::int32_t y = 0; y < 40; ++y) {
    for (std::int32_t x = 0; x < 3; ++x) {
      const std::uint32_t p = engine::PixelAt(x, y);
      const std::size_t at = header.size() + static_cast<std::size_t>((39 - y) * 3 + x) * 3;
      const std::string rgb{static_cast<char>(p >> 16), static_cast<char>(p >> 8), static_cast<char>(p)};
      ASSERT_EQ(file.substr(at, 3), rgb) << x << "," << y;
    }
  }
  EXPECT_NE(file.substr(header.size(), 3), "\x12\x34\x56");  // the top row is sky
}

TEST_F(PictureFile, SizeInKbytesRoundsToNearest) {
  const Transcript t = RunScriptText("RENDERPORT 640, 480; RENDER 'big';");
  EXPECT_TRUE(Has(t, "Transponing and saving image 900 Kbytes total"));
  EXPECT_EQ(fs::file_size("big"), 15u + 640 * 480 * 3);
}

TEST_F(PictureFile, ReplacesAFileAndLeavesNothingElse) {
  { std::ofstream("p") << std::string(5000, 'x'); }
  RunScriptText("RENDERPORT 4, 2; RENDER 'p';");
  EXPECT_EQ(ReadAll("p").substr(0, 11), "P6 4 2 255\n");
  EXPECT_EQ(fs::file_size("p"), 35u);
  EXPECT_EQ(Listing(), std::vector<std::string>{"p"});
}

TEST_F(PictureFile, FileThatCannotBeCreatedEndsTheRun) {
  fs::create_directory("sub");
  struct Case {
    const char* name;
    int status;
  };
  const Case cases[] = {{"missing/x.ppm", 2}, {"sub", 21}};
  for (const Case& c : cases) {
    testsupport::ResetProgram();
    FlatWorld(0x00123456);
    const Transcript t = RunScriptText(std::string("RENDERPORT 4, 2; RENDER '") + c.name + "';");
    EXPECT_EQ(t.exit_status, c.status) << c.name;
    const std::string report = "Runtime error " + std::to_string(c.status) + " at 0x";
    EXPECT_TRUE(std::any_of(t.lines.begin(), t.lines.end(),
                            [&](const std::string& l) { return l.starts_with(report); }))
        << c.name;
  }
  EXPECT_EQ(Listing(), std::vector<std::string>{"sub"});
}

TEST_F(PictureFile, SameScriptSamePicture) {
  // The whole world is generated from the seed each time.
  const std::string script = "SETSEED 7; CAMERA 300, 200, 0, 2.5; FOGT 12; RENDERPORT 64, 48; RENDER 'w';";
  std::string first;
  for (int run = 0; run < 2; ++run) {
    testsupport::ResetProgram();
    RunScriptText(script);
    const std::string file = ReadAll("w");
    ASSERT_EQ(file.size(), 13u + 64 * 48 * 3);
    if (run == 0) {
      first = file;
      // A landscape, not a blank picture.
      EXPECT_GT(std::set<char>(file.begin() + 13, file.end()).size(), 50u);
    } else {
      EXPECT_EQ(file, first);
    }
  }
}

}  // namespace
