// STUB: to be implemented.
#include "script/interpreter.h"
#include "commands/handlers.h"
namespace script {
const std::array<CommandRow, kCommandCount> CommandTable{};
const TTOKEN SeparatorToken{t_symbol, ";", false, 0, 0.0};
int FindCommand(std::string_view) { return 0; }
bool CheckCommandTable() { return true; }
void RunStatements() {}
void RunScriptFile(std::istream&) {}
void RunConsole() {}
void InterpreterInit() {}
void InterpreterModuleInit() {}
void InterpreterModuleFinal() {}
std::string UpperCase(std::string_view t) { return std::string(t); }
}  // namespace script
