// The 28 command handlers reached through the CommandTable. Each steps past
// its command word, reads its parameters, traces the call, checks the count
// and hands the values to one engine setter or file operation.
#pragma once

#include <cstdint>

namespace commands {

// Picture number of RENDER statements named by the counter.
extern std::int32_t RenderCounter;

// Scene commands (handlers.cpp).
void RunProcNothing();
void RunProcAboveLightColor();
void RunProcAssign();
void RunProcCamera();
void RunProcFAR();
void RunProcFogColor();
void RunProcFogdt();
void RunProcFogt();
void RunProcFOV_D();
void RunProcFOV_H();
void RunProcFOV_V();
void RunProcInterlacing();
void RunProcRenderPort();
void RunProcReverseLightColor();
void RunProcSetSeed();
void RunProcSunLightColor();
void RunProcSunPos();
void RunProcTest();
void RunProcTEXPARAM();

// File-name patterns (patterns.cpp).
void RunProcAt();
void RunProcIn();
void RunProcOut();

// File commands, each beside its file format.
void RunProcLoadColorMap();                 // colormap_file.cpp
void RunProcRender();                       // picture_file.cpp
void RunProcWriteParams();                  // autosave.cpp
void RunProcLOAD2DHEIGHTFIELD_LANDSCAPE();  // terrain/import.cpp
void RunProcWriteTerragenRaw();             // terrain/terragen.cpp

}  // namespace commands
