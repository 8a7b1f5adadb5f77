// The rendered-picture writer behind RENDER: one frame of the current scene
// saved as a binary PPM "P6" with a one-line header, rows top-down.
#pragma once

#include <string>

namespace commands {

// Renders one frame and writes it to `name` (already resolved through the
// output pattern). Without a picture buffer it says so and writes nothing.
void RenderToFile(const std::string& name);

}  // namespace commands
