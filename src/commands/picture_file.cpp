#include "commands/picture_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "commands/handlers.h"
#include "commands/patterns.h"
#include "engine/renderer.h"
#include "engine/state.h"
#include "script/diagnostics.h"
#include "script/params.h"
#include "script/tokenizer.h"
#include "shell/files.h"
#include "shell/runtime.h"
#include "terrain/worldmap.h"

namespace commands {

namespace {

std::string PpmHeader(std::int32_t width, std::int32_t height) {
  return "P6 " + std::to_string(width) + " " + std::to_string(height) + " 255\n";
}

// A picture named by the counter takes its number; the counter moves on.
std::string NextCounterName() {
  const std::string name = std::to_string(RenderCounter);
  RenderCounter = static_cast<std::int32_t>(static_cast<std::uint32_t>(RenderCounter) + 1u);
  return name;
}

// The picture is written under a temporary name beside the final one and
// renamed when complete, so an interrupted write never leaves a truncated
// picture under the real name. Where that is not possible (the name is a
// directory or a file we may not replace, the folder refuses the temporary
// file) the picture is written directly, and the open reports the error.
std::string TemporaryBeside(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  return folder + ".render-" + std::to_string(::getpid()) + ".part";
}

bool MayReplace(const std::string& path) {
  if (::access(path.c_str(), F_OK) != 0) return true;  // a new file
  std::FILE* probe = shell::TryOpen(path, "ab");      // refuses directories too
  if (probe == nullptr) return false;
  std::fclose(probe);
  return true;
}

// Rows from the top of the picture down, each from left to right, three
// bytes red, green, blue per pixel; one write per row.
void WritePixels(std::FILE* file) {
  const terrain::RasterDesc& image = engine::ImageBuffer;
  std::vector<std::uint8_t> row(static_cast<std::size_t>(image.width) * 3);
  for (std::int32_t y = image.height - 1; y >= 0; --y) {
    std::uint8_t* out = row.data();
    for (std::int32_t x = 0; x < image.width; ++x) {
      const std::uint32_t p = engine::PixelAt(x, y);
      *out++ = static_cast<std::uint8_t>((p >> 16) & 255u);
      *out++ = static_cast<std::uint8_t>((p >> 8) & 255u);
      *out++ = static_cast<std::uint8_t>(p & 255u);
    }
    shell::WriteOrDie(file, row.data(), row.size());
  }
}

void WritePicture(const std::string& name, const std::string& header) {
  const std::string path = shell::FileNameForOpen(name);
  const std::string temporary = TemporaryBeside(path);
  std::FILE* file = nullptr;
  if (temporary.size() <= shell::kMaxFileName && MayReplace(path)) {
    file = shell::TryOpen(temporary, "wb");
  }
  const bool renaming = file != nullptr;
  if (renaming) {
    shell::DiscardOnFailure(temporary);
  } else {
    file = shell::OpenOrDie(path, "wb");
  }

  shell::WriteOrDie(file, header);
  WritePixels(file);
  shell::CloseOrDie(file);
  shell::ForgetDiscardOnFailure();

  if (renaming && std::rename(temporary.c_str(), path.c_str()) != 0) {
    const int code = errno != 0 ? errno : shell::kShortWrite;
    std::remove(temporary.c_str());
    shell::RuntimeError(code);
  }
}

}  // namespace

void RenderToFile(const std::string& name) {
  shell::Console() << "Rendering image,name=\"" << name << "\"\n";
  engine::RenderFrame();

  const terrain::RasterDesc& image = engine::ImageBuffer;
  const std::string header = PpmHeader(image.width, image.height);
  const std::int64_t size =
      static_cast<std::int64_t>(header.size()) + static_cast<std::int64_t>(image.width) * image.height * 3;
  shell::Console() << "Transponing and saving image " << (size + 511) / 1024 << " Kbytes total\n";
  if (image.sampletype != terrain::kPixel32) {
    shell::Console() << "Internal bug!\n";
    return;
  }
  WritePicture(name, header);
}

void RunProcRender() {
  script::Tokenizer.NextToken();
  script::ReadParams();
  script::TraceCall("RunProcRender");

  std::string name;
  if (script::ParamCount == 1 && script::Params[0].kind == script::t_string) {
    name = script::Params[0].vs;
  } else {
    if (script::ParamCount == 1 && script::Params[0].kind == script::t_int) {
      RenderCounter = script::Params[0].ivalue;
    } else if (script::ParamCount == 1) {
      script::ReportError("Illegal Parameter");
    } else if (script::ParamCount > 1) {
      script::ReportError("illegal parameters list for Render");
    }
    name = NextCounterName();
  }
  RenderToFile(ResolveOutputName(name));
}

}  // namespace commands
