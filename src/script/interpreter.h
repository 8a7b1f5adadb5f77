// The statement loop, the sorted command table with its bisection lookup and
// start-up check, and the two sources of statements: the start script and
// the console prompt.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

#include "script/tokenizer.h"

namespace script {

using CommandHandler = void (*)();

struct CommandRow {
  std::string_view name;
  CommandHandler handler;
};

constexpr int kCommandCount = 28;
extern const std::array<CommandRow, kCommandCount> CommandTable;
extern const TTOKEN SeparatorToken;

int FindCommand(std::string_view name);
// True when the table is sorted, unique and upper case; otherwise prints the
// start-up message and returns false (the caller ends with status 255).
bool CheckCommandTable();
// The same check over any rows (the start-up check passes CommandTable).
bool CheckCommandTable(std::span<const CommandRow> rows);
void RunStatements();
void RunScriptFile(std::istream& file);
void RunConsole();
// Before the start script: patterns emptied, RenderCounter 0, EngineInit.
void InterpreterInit();
// Module initialisation (empty tokenizer, parameter list and patterns, then
// the command-table check, ending with run-time error 255 on failure) and
// finalisation.
void InterpreterModuleInit();
void InterpreterModuleFinal();
std::string UpperCase(std::string_view text);

}  // namespace script
