#include "commands/patterns.h"

#include <string>
#include <string_view>

#include "commands/handlers.h"
#include "script/diagnostics.h"
#include "script/tokenizer.h"

namespace commands {

std::string AtPattern;
std::string InPattern;
std::string OutPattern;

namespace {

constexpr char kPlaceholder = '%';

// "@" / "AT" and the inner word of "IN" / "OUT": the pattern is the string
// token that follows. Anything else is skipped with an error, so the
// statement loop normally finds the ";" next.
void TakePatternString(std::string& pattern) {
  script::TTOKENIZER& tok = script::Tokenizer;
  if (tok.cur.kind != script::t_string) {
    script::ReportError("String expected");
    tok.NextToken();
    return;
  }
  pattern = tok.cur.vs;
  tok.NextToken();
}

// "IN" and "OUT" want "@" or "AT" before their string (by text, whatever the
// token kind); otherwise they show their usage and leave the token where it
// is for the statement loop to complain about.
void RunDirectedPattern(std::string& pattern, std::string_view usage) {
  script::TTOKENIZER& tok = script::Tokenizer;
  tok.NextToken();
  if (tok.cur.vs != "AT" && tok.cur.vs != "@") {
    script::ReportError(usage);
    return;
  }
  tok.NextToken();
  TakePatternString(pattern);
}

}  // namespace

void ClearPatterns() {
  AtPattern.clear();
  InPattern.clear();
  OutPattern.clear();
}

// Every "%" followed by another character stands for the name, "%%" for one
// literal "%", a lone "%" in the last place is dropped, and a pattern without
// any placeholder is a prefix.
std::string ApplyPattern(const std::string& pattern, const std::string& name) {
  if (pattern.empty()) return name;
  const std::size_t last = pattern.size() - 1;
  std::string result;
  std::size_t i = 0;
  int inserted = 0;
  while (i < last) {
    if (pattern[i] == kPlaceholder) {
      ++i;
      if (pattern[i] != kPlaceholder) {
        result += name;
        ++inserted;
      }
    }
    result += pattern[i];
    ++i;
  }
  if (i == last && pattern[i] != kPlaceholder) result += pattern[i];
  if (inserted == 0) result += name;
  return result;
}

// The direction's own pattern first, then the "@" pattern around it.
std::string ResolveInputName(const std::string& name) {
  return ApplyPattern(AtPattern, ApplyPattern(InPattern, name));
}

std::string ResolveOutputName(const std::string& name) {
  return ApplyPattern(AtPattern, ApplyPattern(OutPattern, name));
}

void RunProcAt() {
  script::Tokenizer.NextToken();
  TakePatternString(AtPattern);
}

void RunProcIn() { RunDirectedPattern(InPattern, "use \"in@ 'string'\" or \"in at 'string'\""); }

void RunProcOut() { RunDirectedPattern(OutPattern, "use \"out@ 'string'\" or \"out at 'string'\""); }

}  // namespace commands
