// The cost of one frame: the default 500 x 500 picture from the default view
// (cell 512, 512, heading -pi/4, 256 cells far) once the world is generated,
// and the same frame with fog everywhere and with every third column.
#include <benchmark/benchmark.h>

#include <ostream>
#include <sstream>
#include <streambuf>

#include "engine/renderer.h"
#include "engine/state.h"
#include "shell/runtime.h"

namespace {

// Progress and timing lines are thrown away as they come.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

class QuietConsole {
 public:
  QuietConsole() : out_(&buffer_) { shell::SetConsole(&out_, &in_); }
  ~QuietConsole() { shell::SetConsole(nullptr, nullptr); }

 private:
  NullBuffer buffer_;
  std::ostream out_;
  std::istringstream in_;
};

// A fresh engine with a 500 x 500 port; the first frame generates the world,
// so the measured frames render only.
void DefaultScene() {
  engine::EngineStartup();
  engine::SteeringDefaults();
  engine::RenderPort(engine::kPortStandard, 500, 500);
  engine::RenderFrame();
}

void BM_DefaultFrame(benchmark::State& state) {
  QuietConsole console;
  DefaultScene();
  for (auto _ : state) {
    engine::RenderFrame();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 500 * 500);
}
BENCHMARK(BM_DefaultFrame)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The clouds drifted far (cloud time 3000) and held still there.
void BM_FoggedFrame(benchmark::State& state) {
  QuietConsole console;
  DefaultScene();
  engine::Engine.fogt = 3000;
  engine::Engine.fogdt = 0;
  for (auto _ : state) {
    engine::RenderFrame();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FoggedFrame)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_InterlacedFrame(benchmark::State& state) {
  QuietConsole console;
  DefaultScene();
  engine::Engine.interlacing = 3;
  for (auto _ : state) {
    engine::RenderFrame();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_InterlacedFrame)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
