// The one tokenizer of the program: turns a line-oriented text source (a
// script file or standard input) into identifiers, symbols, numbers and
// strings. The interpreter, the parameter reader and the handlers all read
// from the global Tokenizer.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

namespace script {

enum TokenKind : std::int32_t {
  t_end = 0,
  t_int = 1,
  t_flt = 2,
  t_symbol = 4,
  t_string = 5,
};

struct TTOKEN {
  std::int32_t kind = t_end;
  std::string vs;           // symbol text (identifiers upper case) or string text
  bool legalident = false;  // true for identifiers only
  std::int32_t ivalue = 0;  // value of a t_int
  double fvalue = 0.0;      // value of a t_flt
};

class TTOKENIZER {
 public:
  std::istream* input = nullptr;
  std::string line;  // current line with one blank appended, or the end marker "\0"
  std::size_t pos = 1;  // 1-based index of the next character of `line`
  TTOKEN cur;

  void Start();
  void NextToken();
  void SkipTo(const TTOKEN& target);
  // Empties the tokenizer (module initialisation and finalisation).
  void Clear();

 private:
  void NextLine();
  void SkipBlanks();
  void ScanNumber();
  void ScanString();
  char At(std::size_t p) const;  // character at 1-based p, NUL past the end
};

extern TTOKENIZER Tokenizer;

bool TokensEqual(const TTOKEN& a, const TTOKEN& b);
void PrintToken(const TTOKEN& token);
// The debug text of a real: 23 characters, " 1.500000000000000E+000".
std::string FormatDebugReal(double value);

}  // namespace script
