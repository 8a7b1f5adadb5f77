// The cost of the landscape pipeline: a first run (every stage, seed 0), the
// eight fractal layers on their own, and a frame in which nothing changed.
#include <benchmark/benchmark.h>

#include <sstream>

#include "engine/state.h"
#include "shell/runtime.h"
#include "terrain/pipeline.h"
#include "terrain/worldmap.h"

namespace {

// Progress text goes to a discarded stream, as the console would show it.
class QuietConsole {
 public:
  QuietConsole() { shell::SetConsole(&out_, &in_); }
  ~QuietConsole() { shell::SetConsole(nullptr, nullptr); }
  void Drain() { out_.str(""); }

 private:
  std::ostringstream out_;
  std::istringstream in_;
};

void FreshWorldState() {
  engine::Engine.setseed = 0;
  engine::Engine.sunelevation = 0.252f;
  engine::Engine.sunlightcolor = {0.9f, 0.85f, 0.8f};
  engine::Engine.abovelightcolor = {0.1f, 0.12f, 0.14f};
  engine::Engine.reverselightcolor = {0.14f, 0.12f, 0.1f};
  engine::Engine.flags = {};
}

void BM_FirstPrepareLandscape(benchmark::State& state) {
  QuietConsole console;
  for (auto _ : state) {
    state.PauseTiming();
    FreshWorldState();
    console.Drain();
    state.ResumeTiming();
    terrain::PrepareLandscape();
  }
}
BENCHMARK(BM_FirstPrepareLandscape)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_EightFractalLayers(benchmark::State& state) {
  using terrain::FractalTarget;
  for (auto _ : state) {
    terrain::randstate = 0;
    for (FractalTarget t : {FractalTarget::Height, FractalTarget::Tone, FractalTarget::Cloud0,
                            FractalTarget::Cloud1, FractalTarget::Cloud2, FractalTarget::Cloud3,
                            FractalTarget::Tex0, FractalTarget::Tex1}) {
      terrain::RunFractalLayer(t);
    }
  }
}
BENCHMARK(BM_EightFractalLayers)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_UnchangedFrame(benchmark::State& state) {
  QuietConsole console;
  FreshWorldState();
  terrain::PrepareLandscape();
  for (auto _ : state) {
    terrain::PrepareLandscape();
    state.PauseTiming();
    console.Drain();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_UnchangedFrame)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
