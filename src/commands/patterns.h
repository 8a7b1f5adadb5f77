// File-name patterns: "%" in a pattern stands for the name a script gives,
// so one statement can put every picture into one folder with one extension.
#pragma once

#include <string>

namespace commands {

extern std::string AtPattern;
extern std::string InPattern;
extern std::string OutPattern;

void ClearPatterns();
std::string ApplyPattern(const std::string& pattern, const std::string& name);
std::string ResolveInputName(const std::string& name);
std::string ResolveOutputName(const std::string& name);

}  // namespace commands
