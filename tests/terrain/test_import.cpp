#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/state.h"
#include "shell/runtime.h"
#include "support/transcript.h"
#include "terrain/import.h"
#include "terrain/worldmap.h"

namespace {

using terrain::CellIndex;
using terrain::ImportRect;
using terrain::RasterDesc;
using terrain::WorldMap;

std::int16_t Height(int x, int y) { return WorldMap[CellIndex(x, y)].height; }

// Little-endian 16-bit samples, row after row.
std::vector<std::uint8_t> Samples16(int w, int h, const std::function<int(int, int)>& value) {
  std::vector<std::uint8_t> bytes;
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      const auto v = static_cast<std::uint16_t>(value(i, j));
      bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
      bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    }
  }
  return bytes;
}

RasterDesc Desc(std::vector<std::uint8_t>& bytes, int w, int h, int sx, int sy, int ofs, int type) {
  RasterDesc d;
  d.colstride = sx;
  d.rowstride = sy;
  d.width = w;
  d.height = h;
  d.data = bytes.data() + ofs;
  d.sampletype = type;
  return d;
}

std::uint64_t HeightChecksum() {
  std::uint64_t sum = 0;
  for (int k = 0; k < terrain::kMapCells; ++k) sum = sum * 31 + static_cast<std::uint16_t>(WorldMap[k].height);
  return sum;
}

std::vector<std::string> Messages(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const std::string& l : lines) {
    if (l.rfind("Error [", 0) == 0 || l.rfind("Warning [", 0) == 0 || l == "It was fatal error,exiting.") {
      out.push_back(l);
    } else if (l.rfind("Runtime error", 0) == 0) {
      out.push_back(l.substr(0, l.find(" at ")));
    }
  }
  return out;
}

class Import : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::ResetProgram();
    testsupport::ClearWorld();
    dir_ = testsupport::ScratchDir("import");
  }

  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  // The statement with its first twelve values and the file's name.
  static std::string Statement(const std::string& values, const std::string& path) {
    return "LOAD2DHEIGHTFIELD_LANDSCAPE " + values + ", '" + path + "';";
  }

  std::string dir_;
};

// --- ImportHeightfield and SumSamples ---------------------------------------

TEST_F(Import, LayoutsPlaceSamplesInTheirCells) {
  // 4 x 3 samples, value 10 * row + column.
  std::vector<std::uint8_t> bytes = Samples16(4, 3, [](int i, int j) { return 10 * j + i; });
  const float unit = 1.0f / 64.0f;  // one height unit per sample unit

  RasterDesc src = Desc(bytes, 4, 3, 2, 8, 0, terrain::kInt16);
  terrain::ImportHeightfield({100, 200, 1, 1, 4, 3}, src, 0.0f, unit);
  EXPECT_EQ(Height(100, 200), 0);
  EXPECT_EQ(Height(103, 200), 3);
  EXPECT_EQ(Height(101, 202), 21);

  // Rows upside down: the last file row lands on the first map row.
  src = Desc(bytes, 4, 3, 2, -8, 16, terrain::kInt16);
  terrain::ImportHeightfield({0, 0, 1, 1, 4, 3}, src, 0.0f, unit);
  EXPECT_EQ(Height(0, 0), 20);
  EXPECT_EQ(Height(3, 2), 3);

  // Right to left: every row still takes w samples.
  src = Desc(bytes, 4, 3, -2, 8, 6, terrain::kInt16);
  terrain::ImportHeightfield({10, 0, 1, 1, 4, 3}, src, 0.0f, unit);
  EXPECT_EQ(Height(10, 0), 3);
  EXPECT_EQ(Height(13, 0), 0);
  EXPECT_EQ(Height(13, 1), 10);

  // sx = 0 repeats the first sample of each row.
  src = Desc(bytes, 5, 3, 0, 8, 0, terrain::kInt16);
  terrain::ImportHeightfield({20, 0, 1, 1, 5, 3}, src, 0.0f, unit);
  EXPECT_EQ(Height(24, 0), 0);
  EXPECT_EQ(Height(24, 2), 20);

  // Spacing 2: every second cell of every second row; the cells between
  // keep their heights.
  WorldMap[CellIndex(301, 400)].height = 99;
  WorldMap[CellIndex(300, 401)].height = 98;
  src = Desc(bytes, 4, 3, 2, 8, 0, terrain::kInt16);
  terrain::ImportHeightfield({300, 400, 2, 2, 4, 3}, src, 0.0f, unit);
  EXPECT_EQ(Height(306, 404), 23);
  EXPECT_EQ(Height(301, 400), 99);
  EXPECT_EQ(Height(300, 401), 98);
}

TEST_F(Import, ConversionRoundsAndKeepsLow16Bits) {
  const struct {
    std::uint8_t b0, b1;
    int type;
    float bias, scale;
    std::int16_t height;
  } cases[] = {
      {1, 0, terrain::kUInt8, 0.5f, 1.0f / 64, 2},       // 1.5 -> 2
      {2, 0, terrain::kUInt8, 0.5f, 1.0f / 64, 2},       // 2.5 -> 2 (ties to even)
      {0xFD, 0, terrain::kInt8, 0.5f, 1.0f / 64, -2},    // -2.5 -> -2
      {0xFF, 0, terrain::kUInt8, 0.0f, 1.0f / 64, 255},
      {0x80, 0, terrain::kInt8, 0.0f, 1.0f / 64, -128},
      {0xFF, 0xFF, terrain::kUInt16, 0.0f, 1.0f / 64, -1},  // 65535 keeps its low 16 bits
      {0x00, 0x80, terrain::kInt16, 0.0f, 1.0f / 64, -32768},
      {0x71, 0x02, terrain::kUInt16, 0.0f, 1.0f, -25536},   // 625 x 64 = 40000
      {1, 0, terrain::kUInt8, 0.0f, 0.1f, 6},               // 6.4
      {3, 0, terrain::kUInt8, 0.0f, 1e30f, 0},              // beyond 2^62: no low bits
      {3, 0, terrain::kUInt8, 0.0f, 1e38f, 0},              // not finite as a single
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> bytes = {c.b0, c.b1};
    terrain::ImportHeightfield({5, 5, 1, 1, 1, 1}, Desc(bytes, 1, 1, 2, 2, 0, c.type), c.bias, c.scale);
    EXPECT_EQ(Height(5, 5), c.height) << int(c.b0) << ' ' << int(c.b1) << " type " << c.type << " scale " << c.scale;
  }
}

TEST_F(Import, FlagsAndTone) {
  engine::Engine.flags.shadingready = true;
  engine::Engine.flags.bumpready = true;
  engine::Engine.flags.cloudsready = true;
  engine::Engine.flags.colormapready = true;
  std::vector<std::uint8_t> bytes = Samples16(4, 4, [](int i, int j) { return i + 4 * j; });
  terrain::ImportHeightfield({0, 0, 1, 1, 4, 4}, Desc(bytes, 4, 4, 2, 8, 0, terrain::kInt16), 0.0f, 1.0f);
  const engine::StageFlags& f = engine::Engine.flags;
  EXPECT_TRUE(f.landscapeready);
  EXPECT_FALSE(f.shadingready);
  EXPECT_FALSE(f.bumpready);
  EXPECT_TRUE(f.cloudsready);
  EXPECT_TRUE(f.colormapready);
  // On a fresh map the tone is the height stretched to 0..16320.
  EXPECT_EQ(WorldMap[CellIndex(3, 3)].tone, 16320);
  EXPECT_EQ(WorldMap[CellIndex(500, 500)].tone, 0);
}

// Every destination cell is checked before the first height is written.
TEST_F(Import, RectanglesLeavingTheMapAreRefusedUntouched) {
  std::vector<std::uint8_t> bytes = Samples16(4, 4, [](int i, int j) { return 1 + i + j; });
  WorldMap[CellIndex(0, 0)].height = 7;
  const std::uint64_t before = HeightChecksum();
  const struct {
    const char* name;
    ImportRect rect;
  } refused[] = {
      {"negative x0", {-1, 0, 1, 1, 4, 4}},
      {"negative y0", {0, -1, 1, 1, 4, 4}},
      {"negative dx", {2, 0, -1, 1, 4, 4}},
      {"negative dy", {0, 2, 1, -1, 4, 4}},
      {"far column 1024", {1021, 0, 1, 1, 4, 4}},
      {"far row 1024", {0, 1021, 1, 1, 4, 4}},
      {"x0 beyond the map", {1024, 0, -1, 1, 4, 4}},
      {"step overflowing 32 bits", {0, 0, 1 << 30, 1, 4, 4}},
  };
  for (const auto& c : refused) {
    engine::Engine.flags.landscapeready = false;
    testsupport::ConsoleCapture capture;
    try {
      terrain::ImportHeightfield(c.rect, Desc(bytes, 4, 4, 2, 8, 0, terrain::kInt16), 0.0f, 1.0f);
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const shell::ProgramExit& exit) {
      EXPECT_EQ(exit.status, shell::kRangeCheck) << c.name;
    }
    EXPECT_EQ(capture.Lines().back().rfind("Runtime error 255 at 0x", 0), 0u) << c.name;
    EXPECT_EQ(HeightChecksum(), before) << c.name;
    EXPECT_FALSE(engine::Engine.flags.landscapeready) << c.name;
  }
  // Rectangles that touch the edges from inside are fine.
  terrain::ImportHeightfield({1020, 1020, 1, 1, 4, 4}, Desc(bytes, 4, 4, 2, 8, 0, terrain::kInt16), 0.0f, 1.0f);
  EXPECT_EQ(Height(1023, 1023), 7 * 64);
  terrain::ImportHeightfield({3, 3, -1, -1, 4, 4}, Desc(bytes, 4, 4, 2, 8, 0, terrain::kInt16), 0.0f, 1.0f);
  EXPECT_EQ(Height(0, 0), 7 * 64);
  EXPECT_EQ(Height(3, 3), 1 * 64);
}

TEST(SumSamples, ReadsEachTypeOverTheWholeGrid) {
  std::vector<std::uint8_t> bytes = {0xFF, 0x80, 0x01, 0x00};
  RasterDesc d = Desc(bytes, 2, 2, 1, 2, 0, terrain::kUInt8);
  EXPECT_EQ(terrain::SumSamples(d), 0xFF + 0x80 + 1 + 0);
  d.sampletype = terrain::kInt8;
  EXPECT_EQ(terrain::SumSamples(d), -1 - 128 + 1 + 0);
  d = Desc(bytes, 2, 1, 2, 0, 0, terrain::kUInt16);
  EXPECT_EQ(terrain::SumSamples(d), 0x80FF + 0x0001);
  d.sampletype = terrain::kInt16;
  EXPECT_EQ(terrain::SumSamples(d), -32513 + 1);
  // Many large samples: the sum stays exact.
  std::vector<std::uint8_t> big = Samples16(1024, 1024, [](int, int) { return 65535; });
  EXPECT_EQ(terrain::SumSamples(Desc(big, 1024, 1024, 2, 2048, 0, terrain::kUInt16)), 65535.0L * 1048576.0L);
}

// --- the statement ----------------------------------------------------------

TEST_F(Import, WholeMapIdentityAndUpsideDown) {
  const auto value = [](int i, int j) { return (i * 7 + j * 131) % 65536 - 32768; };
  const std::string path = Write("map.raw", Samples16(1024, 1024, value));
  testsupport::Transcript t =
      testsupport::RunScriptText(Statement("0, 0, 1, 1, 1024, 1024, 2, 2048, 0, INT16, 0, 0.015625", path));
  EXPECT_EQ(Messages(t.lines), std::vector<std::string>{});
  EXPECT_EQ(t.exit_status, -1);
  EXPECT_NE(std::find(t.lines.begin(), t.lines.end(), "Calling SK!"), t.lines.end());
  bool same = true;
  for (int y = 0; y < 1024 && same; ++y) {
    for (int x = 0; x < 1024 && same; ++x) same = Height(x, y) == static_cast<std::int16_t>(value(x, y));
  }
  EXPECT_TRUE(same);

  t = testsupport::RunScriptText(Statement("0, 0, 1, 1, 1024, 1024, 2, -2048, 2095104, INT16, 0, 0.015625", path));
  EXPECT_EQ(Messages(t.lines), std::vector<std::string>{});
  EXPECT_EQ(Height(5, 0), static_cast<std::int16_t>(value(5, 1023)));
  EXPECT_EQ(Height(9, 1023), static_cast<std::int16_t>(value(9, 0)));
}

TEST_F(Import, AutoBiasIsMinusTheMean) {
  const std::string path = Write("four.raw", {10, 20, 30, 40});
  for (const char* word : {"AUTO", "?", "auto", "'AUTO'"}) {
    testsupport::ClearWorld();
    const testsupport::Transcript t =
        testsupport::RunScriptText(Statement(std::string("0, 0, 1, 1, 2, 2, 1, 2, 0, UINT8, ") + word + ", 1", path));
    EXPECT_EQ(Messages(t.lines), std::vector<std::string>{}) << word;
    EXPECT_EQ(Height(0, 0), -15 * 64) << word;
    EXPECT_EQ(Height(1, 0), -5 * 64) << word;
    EXPECT_EQ(Height(0, 1), 5 * 64) << word;
    EXPECT_EQ(Height(1, 1), 15 * 64) << word;
  }
}

TEST_F(Import, TypeWordsAndFileLength) {
  // 2 x 2 INT16 samples need exactly 8 bytes.
  const std::vector<std::uint8_t> eight = {1, 0, 2, 0, 3, 0, 4, 0};
  const std::string exact = Write("exact.raw", eight);
  const std::string shorter = Write("short.raw", {1, 0, 2, 0, 3, 0, 4});
  const std::string values = "0, 0, 1, 1, 2, 2, 2, 4, 0, ";
  const struct {
    const char* name;
    std::string script;
    std::vector<std::string> messages;
  } cases[] = {
      {"bare word", Statement(values + "int16, 0, 0.015625", exact), {}},
      {"string in capitals", Statement(values + "'INT16', 0, 0.015625", exact), {}},
      {"string in lower case",
       Statement(values + "'int16', 0, 0.015625", exact),
       {"Error [No. 1]  :Supported datatypes: UINT8,INT8,UINT16,INT16  ", "It was fatal error,exiting."}},
      {"one byte short",
       Statement(values + "INT16, 0, 0.015625", shorter),
       {"Error [No. 1]  :You can't read outside file (after file end)", "It was fatal error,exiting."}},
  };
  for (const auto& c : cases) {
    testsupport::ResetProgram();
    testsupport::ClearWorld();
    const testsupport::Transcript t = testsupport::RunScriptText(c.script);
    EXPECT_EQ(Messages(t.lines), c.messages) << c.name;
    EXPECT_EQ(t.exit_status, c.messages.empty() ? -1 : 1) << c.name;
    EXPECT_EQ(Height(1, 1), c.messages.empty() ? 4 : 0) << c.name;
  }
}

TEST_F(Import, FatalErrorsEndTheRunBeforeTheMapIsTouched) {
  const std::string path = Write("small.raw", {1, 2, 3, 4});
  const std::string missing = dir_ + "/missing.raw";
  const std::string size_error = "Heightfield width and height must be at least 1";
  const struct {
    const char* name;
    std::string script;
    std::string message;
  } cases[] = {
      {"real for an integer", Statement("0, 0, 1, 1, 2, 2, 1, 2, 0.5, UINT8, 0, 1", path),
       "Integer value expected,DANGER,using default=1"},
      {"word for an integer", Statement("0, x, 1, 1, 2, 2, 1, 2, 0, UINT8, 0, 1", path),
       "Integer value expected,DANGER,using default=1"},
      {"unknown type", Statement("0, 0, 1, 1, 2, 2, 1, 2, 0, FLOAT32, 0, 1", path),
       "Supported datatypes: UINT8,INT8,UINT16,INT16  "},
      {"bias not a number", Statement("0, 0, 1, 1, 2, 2, 1, 2, 0, UINT8, 'mean', 1", path),
       "Floating value expected,DANGER,using default=1"},
      {"scale not a number", Statement("0, 0, 1, 1, 2, 2, 1, 2, 0, UINT8, 0, big", path),
       "Floating value expected,DANGER,using default=1"},
      {"file name as a word", "LOAD2DHEIGHTFIELD_LANDSCAPE 0, 0, 1, 1, 2, 2, 1, 2, 0, UINT8, 0, 1, small;",
       "String expected"},
      {"before the file start", Statement("0, 0, 1, 1, 2, 2, -1, 2, 0, UINT8, 0, 1", path),
       "You can't read outside file (before file start)"},
      {"rows before the file start", Statement("0, 0, 1, 1, 2, 2, 1, -2, 1, UINT8, 0, 1", path),
       "You can't read outside file (before file start)"},
      {"after the file end", Statement("0, 0, 1, 1, 2, 2, 1, 2, 1, UINT8, 0, 1", path),
       "You can't read outside file (after file end)"},
      // Refused before the file is even opened: no division by zero samples.
      {"width 0", Statement("0, 0, 1, 1, 0, 2, 1, 2, 0, UINT8, AUTO, 1", missing), size_error},
      {"height -1", Statement("0, 0, 1, 1, 2, -1, 1, 2, 0, UINT8, 0, 1", missing), size_error},
      // Spacing 0 keeps every cell inside the map, but billions of samples of
      // one byte would run for hours.
      {"samples beyond sixteen maps",
       Statement("0, 0, 0, 0, 2147483647, 2147483647, 0, 0, 0, UINT8, AUTO, 1", path),
       "Heightfield of more than 16777216 samples (w x h) is refused"},
  };
  WorldMap[CellIndex(0, 0)].height = 7;
  const std::uint64_t before = HeightChecksum();
  for (const auto& c : cases) {
    testsupport::ResetProgram();
    const testsupport::Transcript t = testsupport::RunScriptText(c.script);
    EXPECT_EQ(t.exit_status, 1) << c.name;
    EXPECT_EQ(Messages(t.lines),
              (std::vector<std::string>{"Error [No. 1]  :" + c.message, "It was fatal error,exiting."}))
        << c.name;
    EXPECT_EQ(HeightChecksum(), before) << c.name;
    EXPECT_FALSE(engine::Engine.flags.landscapeready) << c.name;
  }
}

TEST_F(Import, WrongCountIsReportedAndTheScriptGoesOn) {
  const testsupport::Transcript t =
      testsupport::RunScriptText("LOAD2DHEIGHTFIELD_LANDSCAPE 0, 0, 1, 1, 2, 2, 1, 2, 0, UINT8, 0, 1;\nSETSEED 3;");
  EXPECT_EQ(Messages(t.lines), std::vector<std::string>{"Error [No. 1]  :invalid parameters list"});
  EXPECT_EQ(t.exit_status, -1);
  EXPECT_EQ(engine::Engine.setseed, 3);
  EXPECT_FALSE(engine::Engine.flags.landscapeready);
}

TEST_F(Import, FileAndDestinationFaultsEndWithTheRunTimeReport) {
  const std::string path = Write("small.raw", {1, 2, 3, 4});
  WorldMap[CellIndex(0, 0)].height = 7;
  const std::uint64_t before = HeightChecksum();
  const struct {
    const char* name;
    std::string script;
    int status;
  } cases[] = {
      {"missing file", Statement("0, 0, 1, 1, 2, 2, 1, 2, 0, UINT8, 0, 1", dir_ + "/none.raw"), 2},
      {"far corner beyond 1023", Statement("1023, 0, 1, 1, 2, 2, 1, 2, 0, UINT8, 0, 1", path), 255},
      {"negative x0", Statement("-1, 0, 1, 1, 2, 2, 1, 2, 0, UINT8, 0, 1", path), 255},
      {"negative dy", Statement("0, 0, 1, -1, 2, 2, 1, 2, 0, UINT8, 0, 1", path), 255},
  };
  for (const auto& c : cases) {
    testsupport::ResetProgram();
    const testsupport::Transcript t = testsupport::RunScriptText(c.script);
    EXPECT_EQ(t.exit_status, c.status) << c.name;
    ASSERT_FALSE(t.lines.empty()) << c.name;
    EXPECT_EQ(Messages(t.lines), std::vector<std::string>{"Runtime error " + std::to_string(c.status)}) << c.name;
    EXPECT_EQ(HeightChecksum(), before) << c.name;
  }
}

// The example under examples/ imports a real elevation model as nine
// mirrored tiles; its statements must run cleanly and leave no seam inside.
TEST_F(Import, RealHeightfieldExampleTilesTheMap) {
  const std::string self = __FILE__;  // <root>/tests/terrain/test_import.cpp
  const std::string root = self.substr(0, self.rfind("/tests/"));
  std::ifstream in(root + "/examples/real-heightfield.sks");
  ASSERT_TRUE(in.good());
  std::string script;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("RENDER ", 0) != 0) script += line + "\n";  // no picture file in the tree
  }
  ASSERT_EQ(::chdir(root.c_str()), 0);
  const testsupport::Transcript t = testsupport::RunScriptText(script);
  ASSERT_EQ(::chdir("/"), 0);
  EXPECT_EQ(Messages(t.lines), std::vector<std::string>{});
  EXPECT_EQ(t.exit_status, -1);

  std::ifstream raw_file(root + "/examples/data/jacksboro-403x344-int16.raw", std::ios::binary);
  const std::string raw((std::istreambuf_iterator<char>(raw_file)), {});
  ASSERT_EQ(raw.size(), 403u * 344u * 2u);
  const auto sample = [&raw](int i, int j) {
    const std::size_t k = 2 * (static_cast<std::size_t>(j) * 403 + i);
    return static_cast<std::int16_t>(static_cast<std::uint8_t>(raw[k]) | (static_cast<std::uint8_t>(raw[k + 1]) << 8));
  };
  // 0.025 x 64 = 1.6 height units per metre above the level of 531 m.
  const auto expected = [&](int i, int j) { return static_cast<std::int16_t>(std::nearbyint((sample(i, j) - 531.0f) * 1.6f)); };
  EXPECT_EQ(Height(500, 0), expected(402 - 97, 0));  // mirrored along the row
  EXPECT_EQ(Height(10, 400), expected(10, 343 - 56));  // mirrored rows
  EXPECT_EQ(Height(1023, 1023), expected(217, 335));
  // Mirrored neighbours repeat the edge sample, so no step at the seams.
  for (int k = 0; k < 1024; k += 37) {
    EXPECT_EQ(Height(402, k), Height(403, k)) << k;
    EXPECT_EQ(Height(805, k), Height(806, k)) << k;
    EXPECT_EQ(Height(k, 343), Height(k, 344)) << k;
    EXPECT_EQ(Height(k, 687), Height(k, 688)) << k;
  }
  EXPECT_EQ(terrain::ColorMap[1023 * 256], 0xF4F4F2u);  // the colour map's top left pixel
}

}  // namespace
