// Terragen RAW export: 257 x 257 unsigned bytes from every fourth cell.
#pragma once

namespace terrain {

void WriteTerragenRaw();

}  // namespace terrain
