// Engine setters: store scene parameters in EngineState and clear the stage
// flags of the work that depends on them. They draw and generate nothing;
// the next frame does that.
#pragma once

#include <cstdint>

namespace commands {

void SetCamera(float x, float y, float z, float angle);
void SetFar(std::int32_t n);
void SetFogColor(float r, float g, float b);
void SetFogt(float v);
void SetFogdt(float v);
// A field-of-view angle the renderer can use: finite, strictly between 0 and
// pi, and not so narrow that the focal length leaves 32 bits. The three
// field-of-view setters ignore any other angle.
bool FovAngleUsable(float angle);
void SetFovV(float angle);
void SetFovH(float angle);
void SetFovD(float angle);
void SetInterlacing(std::int32_t n);
void SetTexParam(std::int32_t n);
void SetSeed(std::int32_t n);
void SetSunPos(float first, float elevation);
void SetSunLightColor(float r, float g, float b);
void SetAboveLightColor(float r, float g, float b);
void SetReverseLightColor(float r, float g, float b);
// table: 1024 x 256 colours 0x00RRGGBB, row-major.
void SetColorMap(const std::uint32_t* table);

}  // namespace commands
