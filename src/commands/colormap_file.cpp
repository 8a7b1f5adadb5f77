// STUB: to be implemented.
#include "commands/handlers.h"
namespace commands {
void RunProcLoadColorMap() {}
}  // namespace commands
