#include "shell/runtime.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <vector>

namespace shell {
namespace {

std::ostream* console_out = &std::cout;
std::istream* console_in = &std::cin;
std::vector<Finaliser> finalisers;
ExitHook exit_hook = nullptr;

void RunFinalisers() {
  // Take the list first: a finaliser that halts again must not loop.
  std::vector<Finaliser> pending;
  pending.swap(finalisers);
  for (auto it = pending.rbegin(); it != pending.rend(); ++it) (*it)();
}

[[noreturn]] void EndProcess(int status) {
  console_out->flush();
  if (exit_hook != nullptr) exit_hook(status);
  std::exit(status);
}

}  // namespace

std::ostream& Console() { return *console_out; }
std::istream& ConsoleInput() { return *console_in; }

void SetConsole(std::ostream* out, std::istream* in) {
  console_out = out != nullptr ? out : &std::cout;
  console_in = in != nullptr ? in : &std::cin;
}

void RegisterFinaliser(Finaliser fin) { finalisers.push_back(fin); }
void ClearFinalisers() { finalisers.clear(); }

void SetExitHook(ExitHook hook) { exit_hook = hook; }

void ThrowingExitHook(int status) { throw ProgramExit{status}; }

void Halt(int status) {
  RunFinalisers();
  EndProcess(status);
}

void RuntimeError(int code) {
  void* where = __builtin_return_address(0);
  RunFinalisers();
  char line[64];
  std::snprintf(line, sizeof line, "Runtime error %d at 0x%08" PRIXPTR, code,
                reinterpret_cast<std::uintptr_t>(where));
  *console_out << line << '\n';
  EndProcess(code);
}

}  // namespace shell
