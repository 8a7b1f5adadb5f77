// STUB: to be implemented.
#include "commands/handlers.h"
namespace commands {
void RunProcRender() {}
}  // namespace commands
