// What one suit datagram costs on the receiving side, measured against a
// plain 1144-byte memcpy in the same run (the cost of merely touching the
// bytes). At the end the ratios are printed:
//   scan+decode into an existing frame / memcpy   (goal: at most 3)
//   whole path of one datagram / memcpy           (goal: at most 25)
// The whole path is ReadMotiWearMessages (two allocations and the decode),
// the copy into a 19-point skeleton package, and the release.

#include <benchmark/benchmark.h>
#include <fmt/core.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "skeleton/skeleton_pkg.h"
#include "suit_receiver/cmutex.h"
#include "suit_receiver/motiwear_data.h"
#include "suit_receiver/motiwear_message.h"
#include "tools/suitsim/suit_frame.h"
#include "tools/suitsim/walking_figure.h"

namespace {

std::vector<uint8_t> ShuffledFrame() {
  std::mt19937 rng(5);
  SuitFrame frame = CWalkingFigure(0).FrameAt("E46", 1.25, 125);
  ShuffleSuitRecords(frame, rng);
  return EncodeSuitFrame(frame);
}

void BM_Memcpy1144(benchmark::State& state) {
  const auto source = ShuffledFrame();
  std::vector<uint8_t> target(source.size());
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    benchmark::DoNotOptimize(source.data());
    std::memcpy(target.data(), source.data(), source.size());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Memcpy1144);

void BM_ScanAndDecodeIntoExistingFrame(benchmark::State& state) {
  const auto source = ShuffledFrame();
  CMotiWearData frame;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    benchmark::DoNotOptimize(source.data());
    frame.ReceiveMotiWearData(source.data(), static_cast<uint32_t>(source.size()));
    benchmark::ClobberMemory();
  }
  if (!frame.mNewData) state.SkipWithError("frame did not decode");
}
BENCHMARK(BM_ScanAndDecodeIntoExistingFrame);

// The frame's lock round trip (an uncontended error-checking mutex), which
// ReceiveMotiWearData pays once per datagram.
void BM_FrameLockRoundTrip(benchmark::State& state) {
  CMutex lock(false);
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    lock.Lock();
    lock.Unlock();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FrameLockRoundTrip);

void BM_WholeDatagramPath(benchmark::State& state) {
  const auto source = ShuffledFrame();
  SkeletonPkg* pkg = CreateSkeletonPkg(19);
  bool copied = true;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    auto messages = CMotiWearMessage::ReadMotiWearMessages(source.data(), source.size());
    for (CMotiWearMessage* message : messages) {
      copied &= message->mData->CopyMotiWearData(pkg, false, false, true, false);
      message->Release();
    }
    benchmark::ClobberMemory();
  }
  if (!copied) state.SkipWithError("frame did not copy");
  DisposeSkeletonPkg(pkg);
}
BENCHMARK(BM_WholeDatagramPath);

// Console output as usual, and the per-iteration CPU times kept for the
// ratios (CPU time, so that other work on the machine does not inflate one
// benchmark more than another). With --benchmark_repetitions the median is
// used.
class CRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const std::string& name = run.run_name.function_name;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        mNanoseconds[name] = run.GetAdjustedCPUTime();
        mFromMedian[name] = true;
      } else if (run.run_type == Run::RT_Iteration && run.iterations > 0 && !mFromMedian[name]) {
        mNanoseconds[name] = run.GetAdjustedCPUTime();
      }
    }
  }
  std::map<std::string, double> mNanoseconds;
  std::map<std::string, bool> mFromMedian;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  CRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const auto& ns = reporter.mNanoseconds;
  const auto memcpyTime = ns.find("BM_Memcpy1144");
  if (memcpyTime == ns.end() || memcpyTime->second <= 0) return 0;
  for (const auto& [name, goal] :
       {std::pair<std::string, double>{"BM_ScanAndDecodeIntoExistingFrame", 3.0},
        std::pair<std::string, double>{"BM_WholeDatagramPath", 25.0}}) {
    const auto it = ns.find(name);
    if (it == ns.end()) continue;
    const double ratio = it->second / memcpyTime->second;
    fmt::print("{} / memcpy(1144): {:.2f} (goal at most {:.0f}) {}\n", name, ratio, goal,
               ratio <= goal ? "met" : "MISSED");
  }
  const auto decode = ns.find("BM_ScanAndDecodeIntoExistingFrame");
  const auto lock = ns.find("BM_FrameLockRoundTrip");
  if (decode != ns.end() && lock != ns.end()) {
    fmt::print("scan+decode without the frame lock / memcpy(1144): {:.2f}\n",
               (decode->second - lock->second) / memcpyTime->second);
  }
  return 0;
}
