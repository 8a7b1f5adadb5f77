// What every fuzz target shares: a quiet console, halts and run-time errors
// turned into exceptions, the program reset to its start-up state between
// inputs, a scratch folder the file commands cannot leave, and a budget of
// rendered pixels so one input cannot draw a giant picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzing {

// Once per process: console to a discarding stream, throwing exit hook,
// the modules initialised, and the working directory moved into a fresh
// scratch folder (under /dev/shm where it exists). Returns that folder.
const std::string& Setup();

// Generates the default world once (camera, seed and stages as after
// start-up) and keeps a copy of every world table, so a target can restore
// them after an input that changed them.
void GenerateWorldOnce();
void RestoreWorld();

// The program as after start-up (engine, diagnostics, interpreter, patterns),
// with the stage flags of the already generated world set again.
void ResetProgram();

// Runs `text` as a start script; halts (fatal errors, run-time errors) and an
// exhausted render budget end the run quietly. Returns the halt status, or -1
// when the script ran to its end.
int RunScript(const std::string& text);

// Writes `bytes` to `name` inside the scratch folder.
void WriteScratchFile(const std::string& name, const std::uint8_t* data, std::size_t size);

// After an input that wrote a file, removes everything in the scratch folder
// but the protected fixtures.
void RemoveWrittenFiles();

// True when the last input opened a file for reading (a colour map or a
// heightfield, which change the world); clears the mark.
bool ReadAnyFile();

// Names a script may open: no "/" (so nothing outside the scratch folder),
// and none of the fixture files for writing. Anything else fails to open
// as a folder that cannot be written would.
void ProtectFile(const std::string& name);

// Pixels the renderer may draw per input before the run is cut short.
constexpr std::int64_t kPixelBudget = 1 << 18;
struct BudgetExhausted {};
void ArmRenderBudget();

}  // namespace fuzzing
