// STUB: to be implemented.
#include "terrain/import.h"
#include "commands/handlers.h"
namespace terrain {
void ImportHeightfield(const ImportRect&, const RasterDesc&, float, float) {}
long double SumSamples(const RasterDesc&) { return 0; }
}  // namespace terrain
namespace commands {
void RunProcLOAD2DHEIGHTFIELD_LANDSCAPE() {}
}  // namespace commands
