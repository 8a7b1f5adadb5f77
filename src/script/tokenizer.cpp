// STUB: to be implemented.
#include "script/tokenizer.h"
namespace script {
TTOKENIZER Tokenizer;
void TTOKENIZER::Start() {}
void TTOKENIZER::NextToken() { cur = TTOKEN{}; }
void TTOKENIZER::SkipTo(const TTOKEN&) {}
void TTOKENIZER::Clear() {}
bool TokensEqual(const TTOKEN&, const TTOKEN&) { return false; }
void PrintToken(const TTOKEN&) {}
std::string FormatDebugReal(double) { return {}; }
}  // namespace script
