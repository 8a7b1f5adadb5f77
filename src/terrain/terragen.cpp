// STUB: to be implemented.
#include "terrain/terragen.h"
#include "commands/handlers.h"
namespace terrain {
void WriteTerragenRaw() {}
}  // namespace terrain
namespace commands {
void RunProcWriteTerragenRaw() {}
}  // namespace commands
