// Lexical rules: each case is an input text and the tokens and messages it
// gives, in order. Tokens are written compactly:
//   "ID X" identifier, "SYM :=" other symbol, "INT 5", "FLT 1.5",
//   "STR text", "!message" for an error, and the run ends at the first t_end.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "script/diagnostics.h"
#include "script/tokenizer.h"
#include "support/transcript.h"

namespace {

using script::Tokenizer;
using script::TTOKEN;

std::string Describe(const TTOKEN& t) {
  std::ostringstream s;
  switch (t.kind) {
    case script::t_int:
      s << "INT " << t.ivalue;
      break;
    case script::t_flt:
      s << "FLT " << t.fvalue;
      break;
    case script::t_symbol:
      s << (t.legalident ? "ID " : "SYM ") << t.vs;
      break;
    case script::t_string:
      s << "STR " << t.vs;
      break;
    default:
      s << "END";
  }
  return s.str();
}

// Every error line the tokenizer printed since the last call, as "!message".
void TakeErrors(testsupport::ConsoleCapture& console, std::vector<std::string>& out) {
  for (const std::string& line : console.Lines()) {
    const auto colon = line.find("]  :");
    std::string entry(1, '!');
    entry.append(line, colon + 4);
    out.push_back(entry);
  }
  console.Clear();
}

// Tokens of `text` up to (not including) the first t_end, with the messages
// printed while reading each token placed before it.
std::vector<std::string> Lex(const std::string& text) {
  testsupport::ConsoleCapture console;
  script::DiagnosticsInit();
  std::istringstream in(text);
  Tokenizer.input = &in;
  Tokenizer.Start();
  std::vector<std::string> out;
  for (int guard = 0; guard < 1000; ++guard) {
    Tokenizer.NextToken();
    TakeErrors(console, out);
    if (Tokenizer.cur.kind == script::t_end) break;
    out.push_back(Describe(Tokenizer.cur));
  }
  return out;
}

struct LexCase {
  std::string input;
  std::vector<std::string> expected;
};

class LexTable : public ::testing::TestWithParam<LexCase> {};

TEST_P(LexTable, TokensAndMessages) {
  const LexCase& c = GetParam();
  EXPECT_EQ(Lex(c.input), c.expected) << "input: " << c.input;
}

const std::string kBad = "!illegal integer const:Can't get value";
const std::string kBadFloat = "!illegal float const:Can't get value";
const std::string kBadString = "!illegal string constant";
const std::string kNul(1, '\0');

INSTANTIATE_TEST_SUITE_P(
    Identifiers, LexTable,
    ::testing::Values(
        LexCase{"camera CAMERA Camera", {"ID CAMERA", "ID CAMERA", "ID CAMERA"}},
        LexCase{"_x1_y x_ z9", {"ID _X1_Y", "ID X_", "ID Z9"}},
        LexCase{"12abc", {"INT 12", "ID ABC"}},
        LexCase{"", {}},
        LexCase{"\n\n   \t\n", {}}));

INSTANTIATE_TEST_SUITE_P(
    Symbols, LexTable,
    ::testing::Values(
        LexCase{"a:=b", {"ID A", "SYM :=", "ID B"}},
        LexCase{"x<>y x><y", {"ID X", "SYM <>", "ID Y", "ID X", "SYM <>", "ID Y"}},
        LexCase{"=> =< >= <= << >> == :", {"SYM >=", "SYM <=", "SYM >=", "SYM <=", "SYM <", "SYM <",
                                           "SYM >", "SYM >", "SYM =", "SYM =", "SYM :"}},
        LexCase{"*** .. . /", {"SYM **", "SYM *", "SYM ..", "SYM .", "SYM /"}},
        LexCase{"!()+,-;?@[\\]^|", {"SYM !", "SYM (", "SYM )", "SYM +", "SYM ,", "SYM -", "SYM ;", "SYM ?",
                                    "SYM @", "SYM [", "SYM \\", "SYM ]", "SYM ^", "SYM |"}},
        // Signs are never part of a number.
        LexCase{"-5 +2.5", {"SYM -", "INT 5", "SYM +", "FLT 2.5"}}));

INSTANTIATE_TEST_SUITE_P(
    Numbers, LexTable,
    ::testing::Values(
        LexCase{"1..5", {"INT 1", "SYM ..", "INT 5"}},
        LexCase{"1. x", {"FLT 1", "ID X"}},
        LexCase{"1.5e-3 2E+2 3e4 0.25", {"FLT 0.0015", "FLT 200", "FLT 30000", "FLT 0.25"}},
        LexCase{"1.5.3", {"FLT 1.5", "SYM .", "INT 3"}},
        LexCase{"1e x", {kBadFloat, "FLT 0", "ID X"}},
        LexCase{"1e+;", {kBadFloat, "FLT 0", "SYM ;"}},
        LexCase{"1e999", {kBadFloat, "FLT 0"}},
        LexCase{"1e-999", {"FLT 0"}},
        LexCase{"2147483647 2147483648", {"INT 2147483647", kBad, "INT 0"}},
        LexCase{"99999999999999999999", {kBad, "INT 0"}},
        LexCase{"007", {"INT 7"}},
        LexCase{"$1F $ff $0", {"INT 31", "INT 255", "INT 0"}},
        LexCase{"$G", {kBad, "INT 0"}},
        LexCase{"$ x", {kBad, "INT 0", "ID X"}},
        LexCase{"$1_", {kBad, "INT 0"}},
        // Above $7FFFFFFF: the 32-bit two's-complement pattern, up to 8 digits.
        LexCase{"$7FFFFFFF $80000000 $FFFFFFFF", {"INT 2147483647", "INT -2147483648", "INT -1"}},
        LexCase{"$100000000 $000000001", {kBad, "INT 0", "INT 1"}},
        LexCase{"$1F.5", {"INT 31", "SYM .", "INT 5"}}));

INSTANTIATE_TEST_SUITE_P(
    Strings, LexTable,
    ::testing::Values(
        LexCase{"'It''s' x", {"STR It's", "ID X"}},
        LexCase{"''''", {"STR '"}},
        LexCase{"'' x", {"STR ", "ID X"}},
        LexCase{"'a'#65'b'", {"STR aAb"}},
        LexCase{"#13#10", {"STR \r\n"}},
        LexCase{"#$41 #321", {"STR A", "STR A"}},
        LexCase{"'a'#39'b'", {"STR a'b"}},
        LexCase{"'keep // this %'", {"STR keep // this %"}},
        // An unclosed quote takes the rest of the line with its appended blank.
        LexCase{"'abc\nx", {"!Unexpected EOL", "STR abc ", "ID X"}},
        LexCase{"x 'ab cd  \n;", {"ID X", "!Unexpected EOL", "STR ab cd   ", "SYM ;"}},
        // A code that is not an integer: reported, and the character 0 kept.
        LexCase{"#65.0'x'", {kBadString, "STR " + kNul + "x"}},
        LexCase{"#x", {kBad, "STR " + kNul, "ID X"}},
        LexCase{"#2147483648", {kBad, "STR " + kNul}}));

INSTANTIATE_TEST_SUITE_P(
    EndOfInput, LexTable,
    ::testing::Values(
        LexCase{"a\n#eof\nb", {"ID A"}},
        LexCase{"#eof", {}},
        LexCase{"a\r#eof\rb", {"ID A"}},
        // Only the exact line ends the input; otherwise "#" starts a string.
        LexCase{" #eof\nb", {kBadFloat, kBadString, "STR " + kNul, "ID OF", "ID B"}},
        LexCase{"#eof \nb", {kBadFloat, kBadString, "STR " + kNul, "ID OF", "ID B"}},
        LexCase{"#EOF\nb", {kBadFloat, kBadString, "STR " + kNul, "ID OF", "ID B"}},
        LexCase{"a b\n\x1a c", {"ID A", "ID B"}},
        LexCase{"a \x1a b", {"ID A", "ID B"}},  // inside a line it is a blank
        LexCase{std::string("a\0b", 3), {"ID A"}},
        LexCase{"a\xff b", {"ID A"}},
        LexCase{"a\rb\r\nc\n\nd", {"ID A", "ID B", "ID C", "ID D"}}));

INSTANTIATE_TEST_SUITE_P(
    Comments, LexTable,
    ::testing::Values(
        LexCase{"FAR 100// view\nX", {"ID FAR", "INT 100", "ID X"}},
        LexCase{"// one\n   // two\n\n;", {"SYM ;"}},
        LexCase{"a//b", {"ID A"}},
        LexCase{"a / / b", {"ID A", "SYM /", "SYM /", "ID B"}}));

INSTANTIATE_TEST_SUITE_P(
    IllegalChars, LexTable,
    ::testing::Values(LexCase{"a % b", {"ID A", "!illegal char"}},
                      LexCase{"\"", {"!illegal char"}},
                      LexCase{"&", {"!illegal char"}},
                      LexCase{"`", {"!illegal char"}},
                      LexCase{"{", {"!illegal char"}},
                      LexCase{"}", {"!illegal char"}},
                      LexCase{"~", {"!illegal char"}},
                      LexCase{"\x7f", {"!illegal char"}},
                      LexCase{"\x80", {"!illegal char"}},
                      LexCase{"\xfe", {"!illegal char"}}));

// Starts the global tokenizer on a text kept alive by the fixture.
class TokenizerRun : public ::testing::Test {
 protected:
  void Open(const std::string& text) {
    in_.str(text);
    in_.clear();
    Tokenizer.input = &in_;
    Tokenizer.Start();
  }
  testsupport::ConsoleCapture console_;
  std::istringstream in_;
};

TEST_F(TokenizerRun, EndStaysEndWithoutReadingFurther) {
  script::DiagnosticsInit();
  Open(std::string("x\0 y\nz\n", 7));
  Tokenizer.NextToken();
  for (int i = 0; i < 3; ++i) {
    Tokenizer.NextToken();
    EXPECT_EQ(Tokenizer.cur.kind, script::t_end);
  }
  EXPECT_EQ(script::ErrorCount, 0);
  EXPECT_EQ(Tokenizer.line, std::string("x\0 y ", 5)) << "the next line must stay unread";
}

TEST_F(TokenizerRun, IllegalCharIsReportedAgainOnEveryCall) {
  script::DiagnosticsInit();
  Open("%;");
  Tokenizer.NextToken();
  Tokenizer.NextToken();
  EXPECT_EQ(Tokenizer.cur.kind, script::t_end);
  EXPECT_EQ(script::ErrorCount, 2);
  EXPECT_EQ(Tokenizer.pos, 1u);
}

TEST_F(TokenizerRun, StartBeginsAfreshAfterEof) {
  Open("a\n#eof\nb\n");
  Tokenizer.NextToken();
  Tokenizer.NextToken();
  EXPECT_EQ(Tokenizer.cur.kind, script::t_end);
  Tokenizer.Start();  // the console's next run goes on with the next line
  Tokenizer.NextToken();
  EXPECT_EQ(Tokenizer.cur.vs, "B");
}

TEST_F(TokenizerRun, LongLinesAreReadWhole) {
  const std::string word(200000, 'q');
  Open(word + " " + std::string(100000, ' ') + "7\n");
  Tokenizer.NextToken();
  EXPECT_EQ(Tokenizer.cur.vs.size(), word.size());
  Tokenizer.NextToken();
  EXPECT_EQ(Tokenizer.cur.ivalue, 7);
}

TEST_F(TokenizerRun, SkipToStopsOnTargetWithoutConsumingIt) {
  Open("a b ; c");
  Tokenizer.NextToken();
  Tokenizer.SkipTo(TTOKEN{script::t_symbol, ";", false, 0, 0.0});
  EXPECT_EQ(Tokenizer.cur.vs, ";");
  Tokenizer.SkipTo(TTOKEN{script::t_symbol, ";", false, 0, 0.0});
  EXPECT_EQ(Tokenizer.cur.vs, ";");
  Tokenizer.SkipTo(TTOKEN{script::t_symbol, "Q", false, 0, 0.0});
  EXPECT_EQ(Tokenizer.cur.kind, script::t_end);
}

TEST(TokensEqual, ComparesKindThenValue) {
  using script::TokensEqual;
  const TTOKEN end1{script::t_end, "x", false, 1, 2.0}, end2{};
  const TTOKEN i5{script::t_int, "", false, 5, 0.0}, i6{script::t_int, "", false, 6, 0.0};
  const TTOKEN f5{script::t_flt, "", false, 0, 5.0}, f5b{script::t_flt, "", false, 9, 5.0};
  const TTOKEN semi{script::t_symbol, ";", false, 0, 0.0}, semi_str{script::t_string, ";", false, 0, 0.0};
  const TTOKEN low{script::t_symbol, "a", true, 0, 0.0}, up{script::t_symbol, "A", true, 0, 0.0};
  const TTOKEN odd{3, "", false, 0, 0.0};
  EXPECT_TRUE(TokensEqual(end1, end2));
  EXPECT_FALSE(TokensEqual(i5, i6));
  EXPECT_FALSE(TokensEqual(i5, f5));
  EXPECT_TRUE(TokensEqual(f5, f5b));
  EXPECT_FALSE(TokensEqual(semi, semi_str));
  EXPECT_FALSE(TokensEqual(low, up));
  EXPECT_FALSE(TokensEqual(odd, odd));
}

TEST(PrintToken, DebugLines) {
  testsupport::ConsoleCapture console;
  script::PrintToken(TTOKEN{});
  script::PrintToken(TTOKEN{script::t_int, "", false, -5, 0.0});
  script::PrintToken(TTOKEN{script::t_flt, "", false, 0, 1.5});
  script::PrintToken(TTOKEN{script::t_symbol, "CAMERA", true, 0, 0.0});
  script::PrintToken(TTOKEN{script::t_symbol, ";", false, 0, 0.0});
  script::PrintToken(TTOKEN{script::t_string, "it's", false, 0, 0.0});
  script::PrintToken(TTOKEN{3, "x", false, 0, 0.0});
  EXPECT_EQ(console.Lines(), (std::vector<std::string>{
                                 "t_end",
                                 "int,value=-5",
                                 "flt,value= 1.500000000000000E+000",
                                 "symbol legalident=TRUE vs=\"CAMERA\"",
                                 "symbol legalident=FALSE vs=\";\"",
                                 "string, value=\"it's\"",
                             }));
}

TEST(FormatDebugReal, TwentyThreeCharactersCorrectlyRounded) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {1.5, " 1.500000000000000E+000"},
      {-1.5, "-1.500000000000000E+000"},
      {0.0, " 0.000000000000000E+000"},
      {-0.0, "-0.000000000000000E+000"},
      {0.1, " 1.000000000000000E-001"},
      {2.0 / 3.0, " 6.666666666666666E-001"},
      {1.0 / 3.0, " 3.333333333333333E-001"},
      {0.7, " 7.000000000000000E-001"},
      {0.1 + 0.2, " 3.000000000000000E-001"},
      {1e300, " 1.000000000000000E+300"},
      {-2.5e-308, "-2.500000000000000E-308"},
      {4.9406564584124654e-324, " 4.940656458412465E-324"},
      // Exact ties in the 17th digit go to the even 16th digit.
      {1234567890123456.5, " 1.234567890123456E+015"},
      {1234567890123457.5, " 1.234567890123458E+015"},
      {2147483647.0, " 2.147483647000000E+009"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(script::FormatDebugReal(c.value), c.text) << c.value;
    EXPECT_EQ(script::FormatDebugReal(c.value).size(), 23u);
  }
}

}  // namespace
