// The steady state: once an instance runs and its inputs keep their shape,
// the calls that repeat for as long as it runs make no heap allocation.
// Measured on the host's main thread inside the plug-in's entry points only
// (host services excluded): a skeleton package whose labels stay the same
// arriving on every data=skel input, every message kind the instance
// registered for (ticks, render requests, others; not a lost context, which
// rebuilds by design), and, for an instance that listens on a UDP port (an
// integer input named like "..._port"), suit frames arriving on that port.
#include <fmt/format.h>

#include <chrono>
#include <map>
#include <random>
#include <thread>

#include "host/allocation_counter.h"
#include "host/plugin.h"
#include "host/validate/isolated_run.h"
#include "host/validate/skeleton_package_builder.h"
#include "host/validate/suit_datagram_source.h"
#include "host/validate/validation_host.h"
#include "host/validate/validation_test.h"

namespace vhost::validate {
namespace {

struct CCallKind {
  uint64_t mCalls = 0;
  uint64_t mAllocations = 0;
};

// Allocations the plug-in made during `call`, added to `kind`.
template <class F>
void Measure(CCallKind& kind, F&& call) {
  const uint64_t before = CountedAllocations();
  call();
  kind.mAllocations += CountedAllocations() - before;
  ++kind.mCalls;
}

std::string MessageKindName(uint32_t bit) {
  if (bit == kMessageTick) return "ReceiveMessage 0x80 (tick)";
  if (bit == kMessageRenderRequest) return "ReceiveMessage 0x1000 (render request)";
  return fmt::format("ReceiveMessage 0x{:x}", bit);
}

bool IsPortInput(const CPropertyDescriptor& p) {
  return p.mType == EPropertyType::kInt && p.mName.size() >= 4 && p.mName.ends_with("port");
}

CFindings CheckSteadyStateAllocations(const CTestContext& context) {
  if (!AllocationCountingAvailable()) {
    NoteFigure("allocations", AllocationCountingUnavailableReason());
    return {};
  }
  const CPlugin& plugin = LoadPlugin(context.mPluginPath);
  std::mt19937_64 rng(context.mSeed);
  CSkeletonPackage package(19, rng);  // outlives the host: the instance may keep a pointer to it
  CSuitDatagramSource suit;
  CValidationHost vh;
  CHost& host = vh.Host();
  CFindings findings;
  CActorInstance& a = host.Spawn(plugin, "steady");

  std::vector<uint16_t> skeletonInputs;
  std::optional<uint16_t> portInput;
  for (size_t i = 1; i <= a.InputCount(); ++i) {
    const auto index = static_cast<uint16_t>(i);
    const CPropertyDescriptor& p = a.Input(index).mDescriptor;
    if (p.mType == EPropertyType::kData && p.mDataRestriction == "skel")
      skeletonInputs.push_back(index);
    else if (IsPortInput(p) && !portInput)
      portInput = index;
  }
  if (portInput) {
    std::string error;
    if (!suit.Open(error)) return {"no loopback port for suit frames: " + error};
    host.SetInput(a, *portInput, CHostValue::Integer(suit.Port()));
  }

  std::map<std::string, CCallKind> kinds;
  uint64_t framesSeen = 0;
  const std::string packageKind = "HandlePropertyChangeValue (skeleton package, labels unchanged)";
  // One round: a new frame of the package on every skeleton input, a suit
  // frame, then every registered kind; ticks go on until the instance sent
  // something for the suit frame (or 2 s passed).
  auto round = [&](bool measured) {
    std::map<std::string, CCallKind> scratch;
    auto& into = measured ? kinds : scratch;
    for (uint16_t index : skeletonInputs) {
      package.NextFrame(rng);
      Measure(into[packageKind],
              [&] { host.SetInput(a, index, CHostValue::Data(package.Block())); });
    }
    if (portInput) suit.SendFrame();
    uint32_t mask = 0;
    for (const auto& r : host.Receivers().All()) mask |= r.mKindMask;
    for (uint32_t bit = 1; bit != 0; bit <<= 1) {
      if ((mask & bit) == 0 || bit == kMessageContextLost) continue;
      const std::string name =
          MessageKindName(bit) + (bit == kMessageTick && portInput ? ", frames arriving" : "");
      if (bit != kMessageTick || !portInput) {
        Measure(into[name], [&] { host.SendMessage(bit); });
        continue;
      }
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
      for (;;) {
        const uint64_t mark = host.Mark();
        Measure(into[name], [&] { host.Tick(); });
        if (!host.OutputsSince(mark, &a).empty()) {
          framesSeen += measured;
          break;
        }
        if (std::chrono::steady_clock::now() > deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));  // the frame is on its way
      }
    }
  };
  // Warm-up: first frames, first renders, buffers grown to their size.
  NoteStep("warming up");
  for (int i = 0; i < 10; ++i) round(false);
  const int rounds = context.Scaled(50);
  for (int i = 1; i <= rounds; ++i) {
    NoteStep(fmt::format("steady round {} of {}", i, rounds));
    round(true);
  }
  if (portInput && framesSeen == 0) {
    findings.push_back(fmt::format(
        "no suit frame sent to port {} led to an output in 2 s; the handling of arriving "
        "frames was not measured",
        suit.Port()));
  }
  for (const auto& [name, kind] : kinds) {
    NoteFigure(fmt::format("allocations per call: {}", name),
               fmt::format("{:g}", static_cast<double>(kind.mAllocations) /
                                       static_cast<double>(kind.mCalls)));
    if (kind.mAllocations != 0) {
      findings.push_back(fmt::format(
          "{} heap allocation(s) in {} steady-state call(s) of {} (allocate at activation "
          "or on first use, not on every call)",
          kind.mAllocations, kind.mCalls, name));
    }
  }
  if (portInput) NoteFigure("suit frames handled", fmt::format("{}", framesSeen));
  vh.Account(findings);
  return findings;
}

}  // namespace

void AddSteadyStateTests(std::vector<CValidationTest>& tests) {
  tests.push_back(
      {"steady.allocations", 6,
       "no heap allocation in the calls of the steady state (packages, messages, frames arriving)",
       CheckSteadyStateAllocations});
}

}  // namespace vhost::validate
