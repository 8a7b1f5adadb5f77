// STUB: to be implemented.
#include "commands/patterns.h"
#include "commands/handlers.h"
namespace commands {
std::string AtPattern, InPattern, OutPattern;
void ClearPatterns() {}
std::string ApplyPattern(const std::string&, const std::string& name) { return name; }
std::string ResolveInputName(const std::string& name) { return name; }
std::string ResolveOutputName(const std::string& name) { return name; }
void RunProcAt() {}
void RunProcIn() {}
void RunProcOut() {}
}  // namespace commands
