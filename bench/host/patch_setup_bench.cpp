// Patch setup against the number of actors: parsing N actor lines (each
// checked against every earlier name) and the runner's setup of N instances
// (each found by name when it is added and wired). Both should grow linearly:
// compare the per-actor figures of the two sizes.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "host/run/patch.h"
#include "host/run/patch_runner.h"

namespace {

std::string Actors(int64_t count, const std::string& plugin) {
  std::string text;
  for (int64_t i = 0; i < count; ++i) text += "actor a" + std::to_string(i) + " " + plugin + " channels=2\n";
  // Every wire names two actors; the last line names the first actor again.
  for (int64_t i = 1; i < count; i += 2) {
    text += "wire a" + std::to_string(i - 1) + ".tracking -> a" + std::to_string(i) + ".channels\n";
  }
  return text + "print a0.tracking\n";
}

void BM_ParsePatch(benchmark::State& state) {
  const std::string text = Actors(state.range(0), "bonesplit");
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    benchmark::DoNotOptimize(vhost::ParsePatch(text, "bench.patch"));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ParsePatch)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_SetUpPatch(benchmark::State& state) {
  const std::string text = Actors(state.range(0), VORL_BONESPLIT_PATH);
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    std::ostringstream out;
    vhost::CPatchRunner runner(vhost::ParsePatch(text, "bench.patch"), vhost::CRunOptions{}, out);
    runner.Setup();
    state.PauseTiming();
    runner.Finish();  // disposal is not setup
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SetUpPatch)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
