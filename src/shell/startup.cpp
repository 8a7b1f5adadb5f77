// STUB: to be implemented.
#include "shell/startup.h"
namespace shell {
void InitModules(bool) {}
void RunStartScript(int, char**) {}
}  // namespace shell
