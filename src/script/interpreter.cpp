#include "script/interpreter.h"

#include <istream>
#include <ostream>
#include <string>

#include "commands/handlers.h"
#include "commands/patterns.h"
#include "engine/state.h"
#include "script/diagnostics.h"
#include "script/params.h"
#include "shell/runtime.h"

namespace script {

// Strictly ascending byte order: FindCommand bisects it, and row 0 ("?")
// answers every word that is not found.
constexpr std::array<CommandRow, kCommandCount> CommandTable{{
    {"?", commands::RunProcNothing},
    {"@", commands::RunProcAt},
    {"ABOVELIGHTCOLOR", commands::RunProcAboveLightColor},
    {"ASSIGN", commands::RunProcAssign},
    {"AT", commands::RunProcAt},
    {"CAMERA", commands::RunProcCamera},
    {"FAR", commands::RunProcFAR},
    {"FOGCOLOR", commands::RunProcFogColor},
    {"FOGDT", commands::RunProcFogdt},
    {"FOGT", commands::RunProcFogt},
    {"FOV_D", commands::RunProcFOV_D},
    {"FOV_H", commands::RunProcFOV_H},
    {"FOV_V", commands::RunProcFOV_V},
    {"IN", commands::RunProcIn},
    {"INTERLACING", commands::RunProcInterlacing},
    {"LOAD2DHEIGHTFIELD_LANDSCAPE", commands::RunProcLOAD2DHEIGHTFIELD_LANDSCAPE},
    {"LOADCOLORMAP", commands::RunProcLoadColorMap},
    {"OUT", commands::RunProcOut},
    {"RENDER", commands::RunProcRender},
    {"RENDERPORT", commands::RunProcRenderPort},
    {"REVERSELIGHTCOLOR", commands::RunProcReverseLightColor},
    {"SETSEED", commands::RunProcSetSeed},
    {"SUNLIGHTCOLOR", commands::RunProcSunLightColor},
    {"SUNPOS", commands::RunProcSunPos},
    {"TEST", commands::RunProcTest},
    {"TEXPARAM", commands::RunProcTEXPARAM},
    {"WRITEPARAMS", commands::RunProcWriteParams},
    {"WRITETERRAGENRAW", commands::RunProcWriteTerragenRaw},
}};

const TTOKEN SeparatorToken{t_symbol, ";", false, 0, 0.0};

namespace {

constexpr bool IsUpperCase(std::string_view name) {
  for (char c : name) {
    if (c >= 'a' && c <= 'z') return false;
  }
  return true;
}

// The compile-time twin of the start-up check. std::string_view compares
// bytes as unsigned values, a prefix before the longer name, as the lookup
// does.
constexpr bool TableIsWellFormed(const std::array<CommandRow, kCommandCount>& rows) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!IsUpperCase(rows[i].name)) return false;
    if (i > 0 && !(rows[i - 1].name < rows[i].name)) return false;
  }
  return true;
}
static_assert(TableIsWellFormed(CommandTable), "command table must be sorted, unique and upper case");

void SkipToSeparator() {
  ReportWarning("Skipping to separator(';')");
  Tokenizer.SkipTo(SeparatorToken);
}

}  // namespace

std::string UpperCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

int FindCommand(std::string_view name) {
  int low = 0;
  int high = kCommandCount - 1;
  while (low <= high) {
    const int middle = (low + high) / 2;
    const std::string_view row = CommandTable[middle].name;
    if (name == row) return middle;
    if (name > row) {
      low = middle + 1;
    } else {
      high = middle - 1;
    }
  }
  std::string message = "Command " + std::string(name) + " is not found";
  if (message.size() > kMaxMessage) message.resize(kMaxMessage);
  ReportError(message);
  return 0;
}

bool CheckCommandTable(std::span<const CommandRow> rows) {
  std::ostream& out = shell::Console();
  std::string_view previous("\0", 1);
  for (const CommandRow& row : rows) {
    if (row.name == previous) {
      out << "Identical commands found \"" << previous << "\",exiting!\n";
      return false;
    }
    if (row.name < previous) {
      out << "Commands are not sorted ,look at\"" << previous << "\" !\n";
      return false;
    }
    previous = row.name;
    if (row.name != UpperCase(row.name)) {
      out << "internal interpteter error: commands should all be uppercase\n";
      return false;
    }
  }
  return true;
}

bool CheckCommandTable() { return CheckCommandTable(CommandTable); }

void RunStatements() {
  Tokenizer.Start();
  Tokenizer.NextToken();
  const TTOKEN& cur = Tokenizer.cur;
  while (cur.kind != t_end) {
    if (cur.kind != t_symbol) {
      ReportError("Command expected.");
      SkipToSeparator();
      Tokenizer.NextToken();
      continue;
    }
    // Any symbol is looked up, punctuation included.
    CommandTable[FindCommand(cur.vs)].handler();
    if (!TokensEqual(cur, SeparatorToken)) {
      ReportError("Separator expected.");
      SkipToSeparator();
    }
    Tokenizer.NextToken();
  }
}

void RunScriptFile(std::istream& file) {
  Tokenizer.input = &file;
  RunStatements();
  // The caller closes the file; nothing may read from it after the run.
  Tokenizer.input = nullptr;
  PrintStatistics();
}

void RunConsole() {
  Tokenizer.input = &shell::ConsoleInput();
  shell::Console() << "Enter \"#eof\" to close input\n";
  shell::Console().flush();
  RunStatements();
  PrintStatistics();
}

void InterpreterInit() {
  commands::ClearPatterns();
  commands::RenderCounter = 0;
  engine::EngineInit();
}

void InterpreterModuleInit() {
  Tokenizer.Clear();
  ClearParams();
  commands::ClearPatterns();
  if (!CheckCommandTable()) shell::RuntimeError(shell::kRangeCheck);
  shell::RegisterFinaliser(InterpreterModuleFinal);
}

void InterpreterModuleFinal() {
  Tokenizer.Clear();
  ClearParams();
  commands::ClearPatterns();
}

}  // namespace script
