#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "commands/colormap_file.h"
#include "engine/state.h"
#include "shell/runtime.h"
#include "support/transcript.h"
#include "terrain/worldmap.h"

namespace {

using commands::ColorMapStage;
using terrain::ColorMap;
using testsupport::ConsoleCapture;

constexpr int kRow = 256;
constexpr int kRowBytes = 768;

// The diagnostics and run-time lines of a transcript, without the traces.
std::vector<std::string> Messages(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const std::string& l : lines) {
    if (l.rfind("Error [", 0) == 0 || l.rfind("Warning [", 0) == 0 || l.rfind("Runtime error", 0) == 0) {
      out.push_back(l.rfind("Runtime error", 0) == 0 ? l.substr(0, l.find(" at ")) : l);
    }
  }
  return out;
}

// The fixtures lie beside this file, whatever the working directory.
std::string Fixture(const std::string& name) {
  const std::string self = __FILE__;
  return self.substr(0, self.rfind('/')) + "/fixtures/" + name;
}

class ColorMapFile : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::ResetProgram();
    testsupport::ClearWorld();
    std::memset(ColorMapStage, 0, sizeof ColorMapStage);
    dir_ = testsupport::ScratchDir("colormap");
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  // Rows of 256 pixels whose colour tells the row and the column apart.
  static std::string Rows(int count, std::uint8_t tag) {
    std::string bytes;
    for (int r = 0; r < count; ++r) {
      for (int c = 0; c < kRow; ++c) {
        bytes += static_cast<char>(tag);
        bytes += static_cast<char>(r & 0xFF);
        bytes += static_cast<char>(c);
      }
    }
    return bytes;
  }

  static std::uint32_t Colour(std::uint8_t tag, int r, int c) {
    return (std::uint32_t{tag} << 16) | (static_cast<std::uint32_t>(r & 0xFF) << 8) | static_cast<std::uint32_t>(c);
  }

  testsupport::Transcript Load(const std::string& path) {
    return testsupport::RunScriptText("LOADCOLORMAP '" + path + "';");
  }

  std::string dir_;
};

// --- header fields -------------------------------------------------------

TEST(ParseHeaderNumber, FormsAndRefusals) {
  struct Case {
    const char* text;
    std::int32_t value;
    bool error;
  };
  const Case cases[] = {
      {"1024", 1024, false},          {"+7", 7, false},
      {"-12", -12, false},            {"0007", 7, false},
      {"$FF", 255, false},            {"$ff", 255, false},
      {"-$10", -16, false},           {"%101", 5, false},
      {"2147483647", 2147483647, false}, {"-2147483648", INT32_MIN, false},
      {"2147483648", 0, true},        {"$80000000", 0, true},
      {"", 0, true},                  {"x1", 0, true},
      {"$", 0, true},                 {"%102", 0, true},
      {"12a", 0, true},               {"+", 0, true},
      {"\t1", 0, true},               {"$G", 0, true},
  };
  for (const Case& c : cases) {
    testsupport::ResetProgram();
    ConsoleCapture capture;
    EXPECT_EQ(commands::ParseHeaderNumber(c.text), c.value) << '"' << c.text << '"';
    const std::vector<std::string> expected =
        c.error ? std::vector<std::string>{"Error [No. 1]  :Illegal numeric "} : std::vector<std::string>{};
    EXPECT_EQ(capture.Lines(), expected) << '"' << c.text << '"';
  }
}

TEST_F(ColorMapFile, HeaderCases) {
  struct Case {
    const char* name;
    std::string bytes;
    bool accepted;
    std::int32_t height;
    long left;  // bytes after the header when accepted
    std::vector<std::string> messages;
  };
  const std::string width_error = "Error [No. 1]  :BAD FILE FORMAT. Image should have 256xXXX dimensions";
  const Case cases[] = {
      {"plain", "P6\n256 1024\n255\n", true, 1024, 0, {}},
      {"comment line", "P6\n# made by hand, 256 wide\n256 1024\n255\n", true, 1024, 0, {}},
      {"commas and semicolons", "P6 256,1024;255 ", true, 1024, 0, {}},
      {"CR LF keeps the LF as a pixel byte", "P6 256 1024 255\r\n", true, 1024, 1, {}},
      {"comment between fields", "P6 256\n#h\n1024 255\n", true, 1024, 0, {}},
      {"hash inside a field", "P6 25#6 1024 255\n", true, 1024, 0, {width_error}},
      {"tab is no separator", "P6\t256 1024 255\n", true, 1024, 0, {width_error}},
      {"width 512", "P6 512 1024 255\n", true, 1024, 0, {width_error}},
      {"height 100", "P6 256 100 255\n", true, 100, 0, {"Warning [No. 1]  :wrong image dimensions"}},
      {"height 2000", "P6 256 2000 255\n", true, 2000, 0, {"Warning [No. 1]  :wrong image dimensions"}},
      {"height x1",
       "P6 256 x1 255\n",
       true,
       0,
       0,
       {"Error [No. 1]  :Illegal numeric ", "Warning [No. 1]  :wrong image dimensions"}},
      {"ends after the maximum value", "P6 256 1024 255", true, 1024, 0, {}},
      {"255 separators before a field", "P6" + std::string(255, ' ') + "256 1024 255\n", true, 1024, 0, {}},
      {"256 separators before a field", "P6" + std::string(256, ' ') + "256 1024 255\n", false, 0, 0, {}},
      {"separators around a comment add up",
       "P6" + std::string(200, ' ') + "#c\n" + std::string(56, ' ') + "256 1024 255\n",
       false,
       0,
       0,
       {}},
      {"ends inside the header", "P6 256 1024", false, 0, 0, {}},
      {"ends inside a comment", "P6 #no end", false, 0, 0, {}},
      {"P3",
       "P3\n256 1024\n255\n",
       false,
       0,
       0,
       {"Error [No. 1]  :BAD FILE FORMAT. Only P6 PBM images without comments in the header are supported."}},
  };
  for (const Case& c : cases) {
    testsupport::ResetProgram();
    ConsoleCapture capture;
    std::FILE* f = std::fopen(Write("header.ppm", c.bytes).c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::int32_t height = -1;
    EXPECT_EQ(commands::ReadPpmHeader(f, height), c.accepted) << c.name;
    if (c.accepted) {
      EXPECT_EQ(height, c.height) << c.name;
      EXPECT_EQ(std::ftell(f), static_cast<long>(c.bytes.size()) - c.left) << c.name;
    }
    EXPECT_EQ(capture.Lines(), c.messages) << c.name;
    std::fclose(f);
  }
}

TEST_F(ColorMapFile, HeaderShortReadsEndTheProgram) {
  const std::pair<const char*, std::string> cases[] = {
      {"one byte", "P"},
      {"ends right after a comment's line end", "P6\n#c\n"},
  };
  for (const auto& [name, bytes] : cases) {
    ConsoleCapture capture;
    std::FILE* f = std::fopen(Write("short.ppm", bytes).c_str(), "rb");
    std::int32_t height = 0;
    try {
      commands::ReadPpmHeader(f, height);
      ADD_FAILURE() << name << ": no run-time error";
    } catch (const shell::ProgramExit& exit) {
      EXPECT_EQ(exit.status, shell::kShortRead) << name;
    }
  }
}

// --- LOADCOLORMAP ---------------------------------------------------------

TEST_F(ColorMapFile, FullPictureFlipsRowsIntoTheColourMap) {
  const std::string path = Write("full.ppm", "P6\n256 1024\n255\n" + Rows(1024, 0x40));
  const testsupport::Transcript t = Load(path);
  EXPECT_EQ(Messages(t.lines), std::vector<std::string>{});
  EXPECT_EQ(t.exit_status, -1);
  EXPECT_EQ(ColorMap[1023 * kRow + 0], Colour(0x40, 0, 0));  // the file's first pixel
  EXPECT_EQ(ColorMap[1023 * kRow + 255], Colour(0x40, 0, 255));
  EXPECT_EQ(ColorMap[1022 * kRow + 7], Colour(0x40, 1, 7));
  EXPECT_EQ(ColorMap[0 * kRow + 3], Colour(0x40, 1023, 3));  // the file's last row
  EXPECT_TRUE(engine::Engine.flags.colormapready);
}

TEST_F(ColorMapFile, ShortPictureKeepsRowsOfTheEarlierLoad) {
  Load(Write("full.ppm", "P6 256 1024 255\n" + Rows(1024, 0x11)));
  const testsupport::Transcript t = Load(Write("short.ppm", "P6 256 100 255\n" + Rows(100, 0x22)));
  EXPECT_EQ(Messages(t.lines), std::vector<std::string>{"Warning [No. 1]  :wrong image dimensions"});
  EXPECT_EQ(ColorMap[1023 * kRow + 5], Colour(0x22, 0, 5));
  EXPECT_EQ(ColorMap[924 * kRow + 5], Colour(0x22, 99, 5));
  EXPECT_EQ(ColorMap[923 * kRow + 5], Colour(0x11, 100, 5));  // from the first load
  EXPECT_EQ(ColorMap[0], Colour(0x11, 1023, 0));
}

TEST_F(ColorMapFile, ShortPictureAfterStartLeavesZeroRows) {
  Load(Write("short.ppm", "P6 256 100 255\n" + Rows(100, 0x22)));
  EXPECT_EQ(ColorMap[924 * kRow], Colour(0x22, 99, 0));
  EXPECT_EQ(ColorMap[923 * kRow], 0u);
  EXPECT_TRUE(engine::Engine.flags.colormapready);
}

TEST_F(ColorMapFile, TallPictureReadsOnly1024Rows) {
  const testsupport::Transcript t = Load(Write("tall.ppm", "P6 256 2000 255\n" + Rows(2000, 0x33)));
  EXPECT_EQ(Messages(t.lines), std::vector<std::string>{"Warning [No. 1]  :wrong image dimensions"});
  EXPECT_EQ(t.exit_status, -1);
  EXPECT_EQ(ColorMap[0], Colour(0x33, 1023, 0));
}

TEST_F(ColorMapFile, CrLfHeaderShiftsEveryPixelByOneByte) {
  Load(Write("crlf.ppm", "P6 256 1024 255\r\n" + Rows(1024, 0x44)));
  // The header's LF is the first red byte; each pixel takes the previous
  // pixel's blue as its red.
  EXPECT_EQ(ColorMap[1023 * kRow + 0], (0x0Au << 16) | (0x44u << 8) | 0x00u);
  EXPECT_EQ(ColorMap[1023 * kRow + 1], (0x00u << 16) | (0x44u << 8) | 0x00u);
}

TEST_F(ColorMapFile, Width512StillReads768BytesPerRow) {
  const testsupport::Transcript t = Load(Write("wide.ppm", "P6 512 1024 255\n" + Rows(1024, 0x55)));
  EXPECT_EQ(Messages(t.lines),
            std::vector<std::string>{"Error [No. 1]  :BAD FILE FORMAT. Image should have 256xXXX dimensions"});
  EXPECT_EQ(ColorMap[1022 * kRow + 9], Colour(0x55, 1, 9));
}

TEST_F(ColorMapFile, NonNumericHeightInstallsTheStageUnread) {
  ColorMapStage[5] = 0x123456;
  const testsupport::Transcript t = Load(Write("x1.ppm", "P6 256 x1 255\n" + Rows(4, 0x66)));
  EXPECT_EQ(Messages(t.lines), (std::vector<std::string>{"Error [No. 1]  :Illegal numeric ",
                                                          "Warning [No. 1]  :wrong image dimensions"}));
  EXPECT_EQ(ColorMap[5], 0x123456u);
  EXPECT_EQ(ColorMap[1023 * kRow], 0u);
  EXPECT_TRUE(engine::Engine.flags.colormapready);
}

TEST_F(ColorMapFile, RefusedLoadsLeaveTheColourMapAlone) {
  ColorMap[77] = 0xABCDEF;
  struct Case {
    const char* name;
    std::string script;
    std::vector<std::string> messages;
  };
  const std::string p3 = Fixture("netpbm-plain.ppm");
  const std::string truncated = Write("truncated.ppm", "P6 256 1024");
  const Case cases[] = {
      {"no name", "LOADCOLORMAP;", {"Error [No. 1]  :illegal parameters list for LoadColorMap"}},
      {"a word", "LOADCOLORMAP pic;", {"Error [No. 1]  :illegal parameters list for LoadColorMap"}},
      {"two names", "LOADCOLORMAP 'a', 'b';", {"Error [No. 1]  :illegal parameters list for LoadColorMap"}},
      {"P3 made by netpbm",
       "LOADCOLORMAP '" + p3 + "';",
       {"Error [No. 1]  :BAD FILE FORMAT. Only P6 PBM images without comments in the header are supported.",
        "Error [No. 2]  :Illegal PBM P6 header"}},
      {"header cut short", "LOADCOLORMAP '" + truncated + "';", {"Error [No. 1]  :Illegal PBM P6 header"}},
  };
  for (const Case& c : cases) {
    testsupport::ResetProgram();
    const testsupport::Transcript t = testsupport::RunScriptText(c.script);
    std::vector<std::string> errors;
    for (const std::string& m : Messages(t.lines)) errors.push_back(m);
    EXPECT_EQ(errors, c.messages) << c.name;
    EXPECT_EQ(t.exit_status, -1) << c.name;
    EXPECT_EQ(ColorMap[77], 0xABCDEFu) << c.name;
    EXPECT_FALSE(engine::Engine.flags.colormapready) << c.name;
  }
}

TEST_F(ColorMapFile, FileFaultsEndWithTheRunTimeReport) {
  ColorMap[77] = 0xABCDEF;
  const struct {
    const char* name;
    std::string path;
    int status;
  } cases[] = {
      {"missing file", dir_ + "/none.ppm", 2},
      {"ends right after the maximum value", Write("hdr.ppm", "P6 256 1024 255"), shell::kShortRead},
      {"ends before the announced rows", Write("rows.ppm", "P6 256 3 255\n" + Rows(2, 1)), shell::kShortRead},
  };
  for (const auto& c : cases) {
    testsupport::ResetProgram();
    const testsupport::Transcript t = Load(c.path);
    EXPECT_EQ(t.exit_status, c.status) << c.name;
    ASSERT_FALSE(Messages(t.lines).empty()) << c.name;
    EXPECT_EQ(Messages(t.lines).back(), "Runtime error " + std::to_string(c.status)) << c.name;
    EXPECT_EQ(ColorMap[77], 0xABCDEFu) << c.name;
  }
}

TEST_F(ColorMapFile, PicturesMadeByImageTools) {
  // ImageMagick: four grey rows 255, 170, 85, 0 from the top.
  testsupport::Transcript t = Load(Fixture("im-gradient.ppm"));
  EXPECT_EQ(Messages(t.lines), std::vector<std::string>{"Warning [No. 1]  :wrong image dimensions"});
  EXPECT_EQ(ColorMap[1023 * kRow], 0xFFFFFFu);
  EXPECT_EQ(ColorMap[1022 * kRow + 100], 0xAAAAAAu);
  EXPECT_EQ(ColorMap[1021 * kRow + 255], 0x555555u);
  EXPECT_EQ(ColorMap[1020 * kRow], 0x000000u);

  // ImageMagick with a comment line after the magic.
  testsupport::ResetProgram();
  t = Load(Fixture("im-comment.ppm"));
  EXPECT_EQ(Messages(t.lines), std::vector<std::string>{"Warning [No. 1]  :wrong image dimensions"});
  EXPECT_EQ(ColorMap[1023 * kRow + 17], 0xABCDEFu);
  EXPECT_EQ(ColorMap[1022 * kRow + 255], 0xABCDEFu);
  EXPECT_EQ(ColorMap[1020 * kRow], 0x000000u);  // kept from the gradient

  // Netpbm.
  testsupport::ResetProgram();
  Load(Fixture("netpbm-flat.ppm"));
  EXPECT_EQ(ColorMap[1023 * kRow + 200], 0x123456u);
  EXPECT_EQ(ColorMap[1021 * kRow + 200], 0x555555u);  // kept from the gradient
}

}  // namespace
