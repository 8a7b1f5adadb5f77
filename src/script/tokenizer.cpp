#include "script/tokenizer.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ios>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>

#include "script/diagnostics.h"
#include "shell/runtime.h"

namespace script {

TTOKENIZER Tokenizer;

namespace {

// The line that stands for the end of input: one NUL character. A NUL or a
// character 255 anywhere in a line reads the same way.
const std::string kEndMarker(1, '\0');

// A source is at its end when it is exhausted or its next character is a
// Ctrl-Z (the old end-of-file mark of text files).
constexpr int kCtrlZ = 26;

bool IsLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsIdentChar(unsigned char c) { return IsLetter(c) || IsDigit(c) || c == '_'; }
bool IsBlank(unsigned char c) { return c >= 1 && c <= 32; }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// One line of any length; it ends at LF, CR, or CR LF. A read fault of a file
// throws from its stream buffer (NextLine turns it into a run-time error).
std::string ReadLine(std::istream& in) {
  std::string text;
  std::streambuf* buf = in.rdbuf();
  for (;;) {
    int c = buf->sbumpc();
    if (c == std::char_traits<char>::eof()) {
      in.setstate(std::ios::eofbit);
      break;
    }
    if (c == '\n') break;
    if (c == '\r') {
      if (buf->sgetc() == '\n') buf->sbumpc();
      break;
    }
    text.push_back(static_cast<char>(c));
  }
  return text;
}

// A read fault of the source (not its end) ends the program as a run-time
// error: with the system's code when there is one, else the short-read code.
[[noreturn]] void ReadFault(const std::ios_base::failure& fault) {
  const std::error_code code = fault.code();
  const bool from_system = code.category() == std::system_category() || code.category() == std::generic_category();
  shell::RuntimeError(from_system && code.value() > 0 ? code.value() : shell::kShortRead);
}

bool AtEnd(std::istream* in) {
  if (in == nullptr || !in->good()) return true;
  int next = in->rdbuf()->sgetc();
  return next == std::char_traits<char>::eof() || next == kCtrlZ;
}

// Decimal integer: digits only (signs are separate tokens), at most
// 2147483647.
bool DecimalValue(const std::string& text, std::int32_t& value) {
  if (text.empty()) return false;
  std::int64_t v = 0;
  for (char c : text) {
    if (!IsDigit(static_cast<unsigned char>(c))) return false;
    v = v * 10 + (c - '0');
    if (v > INT32_MAX) return false;
  }
  value = static_cast<std::int32_t>(v);
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Hexadecimal integer after the "$": up to $FFFFFFFF, taken as the 32-bit
// two's-complement pattern (so $FFFFFFFF is -1, the way colour and bit masks
// are written); anything wider is out of range.
bool HexValue(const std::string& digits, std::int32_t& value) {
  if (digits.empty()) return false;
  std::uint64_t v = 0;
  for (char c : digits) {
    int d = HexDigit(c);
    if (d < 0) return false;
    v = v * 16 + static_cast<std::uint64_t>(d);
    if (v > UINT32_MAX) return false;
  }
  value = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
  return true;
}

// The whole text must convert; an overflow to infinity fails, an underflow
// keeps the (tiny or zero) result.
bool RealValue(const std::string& text, double& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size()) return false;
  if (errno == ERANGE && std::isinf(v)) return false;
  value = v;
  return true;
}

}  // namespace

char TTOKENIZER::At(std::size_t p) const {
  return (p >= 1 && p <= line.size()) ? line[p - 1] : '\0';
}

void TTOKENIZER::Clear() {
  input = nullptr;
  std::string().swap(line);
  pos = 1;
  cur = TTOKEN{};
}

void TTOKENIZER::Start() {
  line.clear();
  pos = 1;
  NextLine();
}

void TTOKENIZER::NextLine() {
  // The console prompt shows everything printed so far before it waits.
  if (input != nullptr && input->tie() != nullptr) input->tie()->flush();
  bool have_line = false;
  try {
    have_line = !AtEnd(input);
    if (have_line) line = ReadLine(*input);
  } catch (const std::ios_base::failure& fault) {
    ReadFault(fault);
  }
  if (have_line) {
    line.push_back(' ');
    if (line == "#eof ") line = kEndMarker;
  } else {
    line = kEndMarker;
  }
  pos = 1;
}

void TTOKENIZER::SkipBlanks() {
  for (;;) {
    if (pos > line.size()) NextLine();
    while (IsBlank(static_cast<unsigned char>(At(pos)))) {
      ++pos;
      if (pos > line.size()) NextLine();
      if (At(pos) == '\0') break;
    }
    // "//" comments out the rest of the line.
    if (At(pos) == '/' && At(pos + 1) == '/') {
      NextLine();
      if (line != kEndMarker) continue;
    }
    return;
  }
}

void TTOKENIZER::NextToken() {
  cur.legalident = false;
  cur.vs.clear();
  cur.kind = t_end;
  cur.ivalue = 0;
  cur.fvalue = 0.0;
  SkipBlanks();

  const unsigned char c = static_cast<unsigned char>(At(pos));
  const char next = At(pos + 1);
  auto symbol = [this](std::string_view text, std::size_t used) {
    cur.kind = t_symbol;
    cur.vs.append(text);  // vs is empty here
    pos += used;
  };

  if (c == 0 || c == 255) return;  // end of input: pos stays
  if (IsLetter(c) || c == '_') {
    while (IsIdentChar(static_cast<unsigned char>(At(pos)))) cur.vs.push_back(Upper(line[pos++ - 1]));
    cur.kind = t_symbol;
    cur.legalident = true;
    return;
  }
  if (IsDigit(c) || c == '$') return ScanNumber();
  if (c == '\'' || c == '#') return ScanString();

  switch (c) {
    case ':':
      return next == '=' ? symbol(":=", 2) : symbol(":", 1);
    case '<':
      if (next == '=') return symbol("<=", 2);
      return next == '>' ? symbol("<>", 2) : symbol("<", 1);
    case '>':
      if (next == '=') return symbol(">=", 2);
      return next == '<' ? symbol("<>", 2) : symbol(">", 1);
    case '=':
      if (next == '>') return symbol(">=", 2);
      return next == '<' ? symbol("<=", 2) : symbol("=", 1);
    case '*':
      return next == '*' ? symbol("**", 2) : symbol("*", 1);
    case '.':
      return next == '.' ? symbol("..", 2) : symbol(".", 1);
    case '/':
    case '!': case '(': case ')': case '+': case ',': case '-': case ';':
    case '?': case '@': case '[': case '\\': case ']': case '^': case '|': {
      const char text = static_cast<char>(c);
      return symbol(std::string_view(&text, 1), 1);
    }
    default:
      // The run of statements ends here: cur stays t_end and pos stays put.
      ReportError("illegal char");
      return;
  }
}

void TTOKENIZER::ScanNumber() {
  const std::size_t start = pos;
  bool real = false;
  bool hex = false;
  if (At(pos) == '$') {
    hex = true;
    ++pos;
    while (IsIdentChar(static_cast<unsigned char>(At(pos)))) ++pos;
  } else {
    while (IsDigit(static_cast<unsigned char>(At(pos)))) ++pos;
    // "1..5" is a range, not the real "1." followed by ".5".
    if (At(pos) == '.' && At(pos + 1) != '.') {
      real = true;
      ++pos;
      while (IsDigit(static_cast<unsigned char>(At(pos)))) ++pos;
    }
    if (At(pos) == 'E' || At(pos) == 'e') {
      real = true;
      ++pos;
      if (At(pos) == '+' || At(pos) == '-') ++pos;
      while (IsDigit(static_cast<unsigned char>(At(pos)))) ++pos;
    }
  }
  const std::string text = line.substr(start - 1, pos - start);

  if (real) {
    cur.kind = t_flt;
    cur.fvalue = 0.0;
    if (!RealValue(text, cur.fvalue)) {
      cur.fvalue = 0.0;
      ReportError("illegal float const:Can't get value");
    }
    return;
  }
  cur.kind = t_int;
  cur.ivalue = 0;
  const bool ok = hex ? HexValue(text.substr(1), cur.ivalue) : DecimalValue(text, cur.ivalue);
  if (!ok) {
    cur.ivalue = 0;
    ReportError("illegal integer const:Can't get value");
  }
}

void TTOKENIZER::ScanString() {
  std::string text;
  bool after_quoted = false;
  for (;;) {
    if (At(pos) == '#') {
      // A character code: its low 8 bits. A real or a failed conversion
      // gives the character 0.
      ++pos;
      ScanNumber();
      if (cur.kind != t_int) {
        ReportError("illegal string constant");
        cur.ivalue = 0;
      }
      text.push_back(static_cast<char>(static_cast<std::uint32_t>(cur.ivalue) & 0xFFu));
      after_quoted = false;
    } else if (At(pos) == '\'') {
      // Two quoted pieces in a row ('it''s') stand for one quote between them.
      if (after_quoted) text.push_back('\'');
      ++pos;
      while (pos <= line.size() && line[pos - 1] != '\'') text.push_back(line[pos++ - 1]);
      if (pos > line.size()) {
        ReportError("Unexpected EOL");
        NextLine();
        break;
      }
      ++pos;
      after_quoted = true;
    } else {
      break;
    }
  }
  cur.kind = t_string;
  cur.vs = std::move(text);
  cur.legalident = false;
  cur.ivalue = 0;
  cur.fvalue = 0.0;
}

void TTOKENIZER::SkipTo(const TTOKEN& target) {
  while (cur.kind != t_end && !TokensEqual(cur, target)) NextToken();
}

bool TokensEqual(const TTOKEN& a, const TTOKEN& b) {
  if (a.kind != b.kind) return false;
  switch (a.kind) {
    case t_end:
      return true;
    case t_int:
      return a.ivalue == b.ivalue;
    case t_flt:
      return a.fvalue == b.fvalue;
    case t_symbol:
    case t_string:
      return a.vs == b.vs;
    default:
      return false;
  }
}

std::string FormatDebugReal(double value) {
  constexpr std::size_t kWidth = 23;
  if (!std::isfinite(value)) {
    std::string word = std::isnan(value) ? "Nan" : (value > 0 ? "+Inf" : "-Inf");
    return std::string(kWidth - word.size(), ' ') + word;
  }
  // printf rounds the 16 significant digits correctly; only the exponent
  // needs widening to three digits.
  char digits[40];
  std::snprintf(digits, sizeof digits, "%.15E", std::fabs(value));
  char* e = std::strchr(digits, 'E');
  const int exponent = std::atoi(e + 1);
  *e = '\0';
  char text[64];
  std::snprintf(text, sizeof text, "%c%sE%c%03d", std::signbit(value) ? '-' : ' ', digits,
                exponent < 0 ? '-' : '+', std::abs(exponent));
  return text;
}

void PrintToken(const TTOKEN& token) {
  std::ostream& out = shell::Console();
  switch (token.kind) {
    case t_end:
      out << "t_end\n";
      break;
    case t_int:
      out << "int,value=" << token.ivalue << '\n';
      break;
    case t_flt:
      out << "flt,value=" << FormatDebugReal(token.fvalue) << '\n';
      break;
    case t_symbol:
      out << "symbol legalident=" << (token.legalident ? "TRUE" : "FALSE") << " vs=\"" << token.vs << "\"\n";
      break;
    case t_string:
      out << "string, value=\"" << token.vs << "\"\n";
      break;
    default:
      break;
  }
}

}  // namespace script
