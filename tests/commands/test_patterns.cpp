#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/patterns.h"
#include "support/transcript.h"

namespace {

using commands::ApplyPattern;
using commands::AtPattern;
using commands::InPattern;
using commands::OutPattern;
using Strings = std::vector<std::string>;

TEST(ApplyPattern, PlaceholdersPrefixesAndLiteralPercent) {
  struct Case {
    const char* pattern;
    const char* result;
  };
  const Case cases[] = {
      {"", "sky"},
      {"data/", "data/sky"},
      {"%.ppm", "sky.ppm"},
      {"pics/%_a.ppm", "pics/sky_a.ppm"},
      {"%-% .txt", "sky-sky .txt"},
      {"shot%", "shotsky"},      // a final lone "%" is dropped; no name yet, so a prefix
      {"%a%", "skya"},           // the final "%" is dropped, the name already went in
      {"100%%_", "100%_sky"},    // "%%" is one literal "%" and inserts no name
      {"%x", "skyx"},            // the last character after "%" comes once
      {"%", "sky"},
      {"%%", "%sky"},
      {"a", "asky"},
      {"%%%", "%sky"},           // "%%" then a dropped final "%"
      {"%%%.", "%sky."},
  };
  for (const Case& c : cases) EXPECT_EQ(ApplyPattern(c.pattern, "sky"), c.result) << c.pattern;
  EXPECT_EQ(ApplyPattern("%.ppm", ""), ".ppm");
}

class PatternCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { testsupport::ResetProgram(); }
};

// The numbered messages of a run, heads cut off.
Strings Messages(const std::string& script) {
  Strings out;
  for (const std::string& line : testsupport::RunScriptText(script).lines) {
    if (line.starts_with("Error [No. ")) out.push_back("E:" + line.substr(line.find(":") + 1));
    if (line.starts_with("Warning [No. ")) out.push_back("W:" + line.substr(line.find(":") + 1));
  }
  return out;
}

const char kSkip[] = "W:Skipping to separator(';')";

TEST_F(PatternCommandTest, StatementsAndTheirMessages) {
  struct Case {
    const char* script;
    Strings messages;
    const char* at;
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"@ 'a/';", {}, "a/", "", ""},
      {"AT 'a/';", {}, "a/", "", ""},
      {"in at 'x';", {}, "", "x", ""},
      {"IN @ 'x';", {}, "", "x", ""},
      {"OUT AT 'o/';", {}, "", "", "o/"},
      {"OUT AT 'out/'; OUT @ '';", {}, "", "", ""},
      {"@ 'keep'; @ foo;", {"E:String expected"}, "keep", "", ""},
      {"@;", {"E:String expected", "E:Separator expected.", kSkip}, "", "", ""},
      {"IN 'x';",
       {"E:use \"in@ 'string'\" or \"in at 'string'\"", "E:Separator expected.", kSkip},
       "", "", ""},
      {"OUT 'x';",
       {"E:use \"out@ 'string'\" or \"out at 'string'\"", "E:Separator expected.", kSkip},
       "", "", ""},
      {"IN @ 5;", {"E:String expected"}, "", "", ""},
      {"OUT AT;", {"E:String expected", "E:Separator expected.", kSkip}, "", "", ""},
      // "AT" and "@" are recognised by their text, a string included.
      {"IN '@' 'x';", {}, "", "x", ""},
  };
  for (const Case& c : cases) {
    testsupport::ResetProgram();
    EXPECT_EQ(Messages(c.script), c.messages) << c.script;
    EXPECT_EQ(AtPattern, c.at) << c.script;
    EXPECT_EQ(InPattern, c.in) << c.script;
    EXPECT_EQ(OutPattern, c.out) << c.script;
  }
}

TEST_F(PatternCommandTest, PatternStatementsPrintNoTrace) {
  const testsupport::Transcript t = testsupport::RunScriptText("@ 'd/'; IN @ '%.raw';");
  EXPECT_EQ(t.lines, (Strings{"Statistics:", "no errors,no warnings"}));
}

TEST_F(PatternCommandTest, InputAndOutputNamesGoThroughBothPatterns) {
  EXPECT_EQ(commands::ResolveInputName("sky"), "sky");
  EXPECT_EQ(commands::ResolveOutputName("0"), "0");

  testsupport::RunScriptText("@ 'data/'; IN @ '%.ppm'; OUT @ 'shot%.ppm';");
  EXPECT_EQ(commands::ResolveInputName("sky"), "data/sky.ppm");
  EXPECT_EQ(commands::ResolveOutputName("0"), "data/shot0.ppm");

  testsupport::RunScriptText("AT 'd/'; IN AT '%.raw'; OUT AT '';");
  EXPECT_EQ(commands::ResolveInputName("h"), "d/h.raw");
  EXPECT_EQ(commands::ResolveOutputName("h"), "d/h");

  // The "@" pattern wraps the result of the inner one.
  testsupport::RunScriptText("@ '[%]'; OUT @ '%.ppm';");
  EXPECT_EQ(commands::ResolveOutputName("p"), "[p.ppm]");

  commands::ClearPatterns();
  EXPECT_TRUE(AtPattern.empty() && InPattern.empty() && OutPattern.empty());
  EXPECT_EQ(commands::ResolveInputName("h"), "h");
}

}  // namespace
