#include "commands/colormap_file.h"

#include <string>

#include "commands/handlers.h"
#include "commands/patterns.h"
#include "commands/setters.h"
#include "script/diagnostics.h"
#include "script/params.h"
#include "script/tokenizer.h"
#include "shell/files.h"

namespace commands {

std::uint32_t ColorMapStage[terrain::kColorMapEntries] = {};

namespace {

constexpr int kRowBytes = terrain::kColorMapColumns * 3;
constexpr int kMaxSeparators = 255;

// One row of pixels as read; a load allocates nothing.
std::uint8_t row_block[kRowBytes];

bool IsSeparator(std::uint8_t ch) {
  return ch == '\n' || ch == '\r' || ch == ' ' || ch == ',' || ch == ';';
}

bool AtEnd(std::FILE* file) {
  const int c = std::getc(file);
  if (c == EOF) return true;
  std::ungetc(c, file);
  return false;
}

std::uint8_t ReadByte(std::FILE* file) {
  std::uint8_t ch = 0;
  shell::ReadOrDie(file, &ch, 1);
  return ch;
}

// One header field: leading separators (at most 255 before one field; a
// comment does not reset the count), comments where a field would begin,
// then the bytes up to the separator that ends the field. False at the end
// of the file or on too many separators.
bool ReadHeaderField(std::FILE* file, std::string& text) {
  int count = 0;
  if (AtEnd(file)) return false;
  std::uint8_t ch = ReadByte(file);
  for (;;) {
    while (IsSeparator(ch)) {
      if (AtEnd(file)) return false;
      ch = ReadByte(file);
      if (++count > kMaxSeparators) return false;
    }
    if (ch != '#') break;
    do {
      if (AtEnd(file)) return false;
      ch = ReadByte(file);
    } while (ch != '\n' && ch != '\r');
    // A file that ends right after the comment's line end is a short read.
    ch = ReadByte(file);
  }
  text.push_back(static_cast<char>(ch));
  while (!AtEnd(file)) {
    ch = ReadByte(file);
    if (IsSeparator(ch)) break;
    text.push_back(static_cast<char>(ch));
  }
  return true;
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// The digits of one base into a magnitude; false on an empty text, a digit
// outside the base, or a magnitude beyond 2^31 (which no 32-bit value has).
bool ParseMagnitude(std::string_view digits, int base, std::int64_t& magnitude) {
  if (digits.empty()) return false;
  magnitude = 0;
  for (char c : digits) {
    const int d = DigitValue(c);
    if (d >= base) return false;
    magnitude = magnitude * base + d;
    if (magnitude > (std::int64_t{1} << 31)) return false;
  }
  return true;
}

}  // namespace

std::int32_t ParseHeaderNumber(std::string_view text) {
  std::string_view rest = text;
  bool negative = false;
  if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
    negative = rest.front() == '-';
    rest.remove_prefix(1);
  }
  int base = 10;
  if (!rest.empty() && rest.front() == '$') {
    base = 16;
    rest.remove_prefix(1);
  } else if (!rest.empty() && rest.front() == '%') {
    base = 2;
    rest.remove_prefix(1);
  }
  std::int64_t magnitude = 0;
  if (ParseMagnitude(rest, base, magnitude)) {
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value >= INT32_MIN && value <= INT32_MAX) return static_cast<std::int32_t>(value);
  }
  script::ReportError("Illegal numeric ");
  return 0;
}

bool ReadPpmHeader(std::FILE* file, std::int32_t& height) {
  char magic[2];
  shell::ReadOrDie(file, magic, 2);
  if (magic[0] != 'P' || magic[1] != '6') {
    script::ReportError(
        "BAD FILE FORMAT. Only P6 PBM images without comments in the header are supported.");
    return false;
  }
  std::string fields[3];  // width, height, maximum value
  for (std::string& field : fields) {
    if (!ReadHeaderField(file, field)) return false;
  }
  // A wrong width is only reported: every row is still 256 pixels long.
  if (fields[0] != "256") script::ReportError("BAD FILE FORMAT. Image should have 256xXXX dimensions");
  height = ParseHeaderNumber(fields[1]);
  if (height != terrain::kColorMapRows) script::ReportWarning("wrong image dimensions");
  return true;
}

// LOADCOLORMAP 'name'; the file's first row becomes colour-map row 1023, so
// the picture shows growing tone from its bottom to its top.
void RunProcLoadColorMap() {
  script::Tokenizer.NextToken();
  script::ReadParams();
  script::TraceCall("RunProcLoadColorMap");
  if (script::ParamCount != 1 || script::Params[0].kind != script::t_string) {
    script::ReportError("illegal parameters list for LoadColorMap");
    return;
  }
  std::FILE* file = shell::OpenOrDie(ResolveInputName(script::Params[0].vs), "rb");
  std::int32_t height = 0;
  if (!ReadPpmHeader(file, height)) {
    shell::CloseOrDie(file);
    script::ReportError("Illegal PBM P6 header");
    return;
  }
  if (height > terrain::kColorMapRows) height = terrain::kColorMapRows;
  for (std::int32_t r = 0; r < height; ++r) {
    shell::ReadOrDie(file, row_block, kRowBytes);
    std::uint32_t* stage_row = &ColorMapStage[(terrain::kColorMapRows - 1 - r) * terrain::kColorMapColumns];
    for (int c = 0; c < terrain::kColorMapColumns; ++c) {
      const std::uint8_t* rgb = &row_block[3 * c];
      stage_row[c] = (std::uint32_t{rgb[0]} << 16) | (std::uint32_t{rgb[1]} << 8) | rgb[2];
    }
  }
  SetColorMap(ColorMapStage);
  shell::CloseOrDie(file);
}

}  // namespace commands
