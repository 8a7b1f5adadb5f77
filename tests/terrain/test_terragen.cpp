#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "support/transcript.h"
#include "terrain/terragen.h"
#include "terrain/worldmap.h"

namespace {

using terrain::CellIndex;
using terrain::WorldMap;

constexpr int kSide = 257;

std::string ReadRaw() {
  std::ifstream in("terra.raw", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::uint8_t Byte(const std::string& raw, int i, int j) { return static_cast<std::uint8_t>(raw[j * kSide + i]); }

class Terragen : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::ResetProgram();
    testsupport::ClearWorld();
    ASSERT_EQ(::chdir(testsupport::ScratchDir("terragen").c_str()), 0);
  }
  void TearDown() override { ASSERT_EQ(::chdir("/"), 0); }
};

TEST_F(Terragen, ExportBeforeAnyFrameIsFlat) {
  const testsupport::Transcript t = testsupport::RunScriptText("WRITETERRAGENRAW;");
  EXPECT_EQ(t.exit_status, -1);
  EXPECT_EQ(ReadRaw(), std::string(66049, '\x7F'));
}

TEST_F(Terragen, HeightsBecomeBytes) {
  const struct {
    std::int16_t height;
    std::uint8_t byte;
  } cases[] = {
      {-63, 127}, {0, 127},     {63, 127},     {64, 128},  {-64, 126},  {8191, 254},   {8192, 255},
      {32767, 255}, {-8127, 1}, {-8128, 0},    {-32768, 0}, {127, 128}, {-65, 126},
  };
  // One sample column per case along row 0 of the file.
  for (std::size_t k = 0; k < std::size(cases); ++k) WorldMap[CellIndex(4 * (k + 1), 0)].height = cases[k].height;
  terrain::WriteTerragenRaw();
  const std::string raw = ReadRaw();
  ASSERT_EQ(raw.size(), 66049u);
  for (std::size_t k = 0; k < std::size(cases); ++k) {
    EXPECT_EQ(Byte(raw, static_cast<int>(k + 1), 0), cases[k].byte) << "height " << cases[k].height;
  }
}

TEST_F(Terragen, SamplesEveryFourthCellAndWraps) {
  for (int y = 0; y < 1024; ++y) {
    for (int x = 0; x < 1024; ++x) WorldMap[CellIndex(x, y)].height = static_cast<std::int16_t>(64 * ((x + 3 * y) % 100));
  }
  terrain::WriteTerragenRaw();
  const std::string raw = ReadRaw();
  ASSERT_EQ(raw.size(), 66049u);
  EXPECT_EQ(Byte(raw, 1, 0), 127 + 4);
  EXPECT_EQ(Byte(raw, 0, 1), 127 + 12);
  EXPECT_EQ(Byte(raw, 10, 20), 127 + (40 + 240) % 100);
  for (int k = 0; k < kSide; ++k) {
    EXPECT_EQ(Byte(raw, 256, k), Byte(raw, 0, k)) << "row " << k;
    EXPECT_EQ(Byte(raw, k, 256), Byte(raw, k, 0)) << "column " << k;
  }
}

TEST_F(Terragen, WrongCountIsReportedAndStillExports) {
  WorldMap[CellIndex(0, 0)].height = 640;
  const testsupport::Transcript t = testsupport::RunScriptText("WRITETERRAGENRAW 5;");
  EXPECT_NE(std::find(t.lines.begin(), t.lines.end(), "Error [No. 1]  :illegal parameters list for WriteTerragenRaw;"),
            t.lines.end());
  const std::string raw = ReadRaw();
  ASSERT_EQ(raw.size(), 66049u);
  EXPECT_EQ(Byte(raw, 0, 0), 137);
}

TEST_F(Terragen, ReplacesAnEarlierFile) {
  std::ofstream("terra.raw", std::ios::binary) << std::string(100000, 'x');
  terrain::WriteTerragenRaw();
  EXPECT_EQ(ReadRaw(), std::string(66049, '\x7F'));
}

}  // namespace
