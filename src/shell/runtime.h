// The run-time services every module shares: the console streams, the
// ordered module finalisations, and the two ways the program ends (a halt
// with a status, or a run-time error with its code and report line).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string_view>

namespace shell {

// Every message of the program goes to Console(); the console prompt and the
// exit banner read from ConsoleInput(). Tests point them at string streams.
std::ostream& Console();
std::istream& ConsoleInput();
void SetConsole(std::ostream* out, std::istream* in);

// Module finalisations run in reverse order of registration on every halt.
using Finaliser = void (*)();
void RegisterFinaliser(Finaliser fin);
void ClearFinalisers();

// What finally ends the process. The default calls std::exit; tests and fuzz
// targets install a hook that throws ProgramExit instead, so a halt can be
// observed without ending the process. A hook must not return.
struct ProgramExit {
  int status;
};
using ExitHook = void (*)(int status);
void SetExitHook(ExitHook hook);
[[noreturn]] void ThrowingExitHook(int status);

// Runs the finalisations (reverse order), then ends with `status`.
[[noreturn]] void Halt(int status);

// A failed file operation nobody catches, or a refused import destination:
// runs the finalisations, prints "Runtime error <code> at 0x<address>", and
// ends with `code`.
[[noreturn]] void RuntimeError(int code);

// Codes of the run-time errors that are not operating-system codes.
constexpr int kShortRead = 100;
constexpr int kShortWrite = 101;
constexpr int kRangeCheck = 255;

}  // namespace shell
