// The life cycle: create/activate/deactivate/dispose over and over, several
// instances at once, deactivation without any message, disposal in every
// order, an instance whose AllocateMemory fails, and no code of the file
// still running after the last instance went.
#include <fmt/format.h>

#include <algorithm>
#include <memory>
#include <numeric>

#include "host/plugin.h"
#include "host/validate/isolated_run.h"
#include "host/validate/library_probe.h"
#include "host/validate/validation_host.h"
#include "host/validate/validation_test.h"

namespace vhost::validate {
namespace {

CFindings CheckRepeat(const CTestContext& context) {
  const CPlugin& plugin = LoadPlugin(context.mPluginPath);
  CValidationHost vh;
  CHost& host = vh.Host();
  CFindings findings;
  const int cycles = context.Scaled(100);
  for (int i = 0; i < cycles; ++i) {
    NoteStep(fmt::format("cycle {} of {}", i + 1, cycles));
    CActorInstance& a = host.AddInstance(plugin);
    host.Create(a);
    host.Activate(a);
    vh.SendRegisteredKinds();
    host.Deactivate(a);
    host.Activate(a);
    vh.SendRegisteredKinds();
    vh.CheckPublishedPackages(findings, fmt::format("cycle {}", i + 1));
    host.Deactivate(a);
    vh.CheckPublishedPackages(findings, fmt::format("cycle {}, after deactivation", i + 1));
    if (!host.Receivers().All().empty()) {
      findings.push_back(fmt::format("cycle {}: {} message receivers still registered after deactivation", i + 1,
                                     host.Receivers().All().size()));
      break;
    }
    host.Dispose(a);
    if (host.Memory().LiveBlocks() != 0 || host.Strings().LiveStrings() != 0) {
      findings.push_back(fmt::format("cycle {}: {} memory blocks and {} host strings still held after disposal",
                                     i + 1, host.Memory().LiveBlocks(), host.Strings().LiveStrings()));
      break;
    }
  }
  vh.Account(findings);
  return findings;
}

CFindings CheckQuietAndUnactivated(const CTestContext& context) {
  const CPlugin& plugin = LoadPlugin(context.mPluginPath);
  CValidationHost vh;
  CHost& host = vh.Host();
  CFindings findings;
  for (int i = 0; i < context.Scaled(20); ++i) {
    CActorInstance& quiet = host.Spawn(plugin);  // deactivated before any message
    host.Deactivate(quiet);
    host.Dispose(quiet);
    CActorInstance& never = host.AddInstance(plugin);  // created, never activated
    host.Create(never);
    host.Dispose(never);
  }
  vh.Account(findings);
  return findings;
}

CFindings CheckDisposalOrders(const CTestContext& context) {
  const CPlugin& plugin = LoadPlugin(context.mPluginPath);
  CValidationHost vh;
  CHost& host = vh.Host();
  CFindings findings;
  std::vector<int> order(3);
  std::iota(order.begin(), order.end(), 0);
  const int rounds = context.mLevel >= 8 ? 2 : 1;
  for (int round = 0; round < rounds; ++round) {
    do {
      std::vector<CActorInstance*> set;
      for (int i = 0; i < 3; ++i) set.push_back(&host.Spawn(plugin));
      vh.SendRegisteredKinds();
      host.Deactivate(*set[1]);  // one inactive at disposal
      vh.SendRegisteredKinds();
      for (int k : order) {
        host.Dispose(*set[k]);
        vh.SendRegisteredKinds();
        vh.CheckPublishedPackages(findings, fmt::format("disposal order {}{}{}", order[0], order[1], order[2]));
      }
    } while (std::next_permutation(order.begin(), order.end()));
  }
  vh.Account(findings);
  return findings;
}

CFindings CheckNoMemory(const CTestContext& context) {
  const CPlugin& plugin = LoadPlugin(context.mPluginPath);
  CValidationHost vh;
  CHost& host = vh.Host();
  CFindings findings;
  host.MemoryServices().Switches().mFailAllocateMemory = true;
  CActorInstance& starved = host.AddInstance(plugin, "starved");
  host.Create(starved);
  host.Activate(starved);
  vh.SendRegisteredKinds();
  for (size_t i = 1; i <= starved.InputCount(); ++i) {
    const auto index = static_cast<uint16_t>(i);
    host.SetInput(starved, index, starved.Input(index).mValue);
  }
  host.MemoryServices().Switches().mFailAllocateMemory = false;
  // Asserting on a record it did not get is the right answer of a starved
  // instance; what counts is that it neither crashes nor leaks.
  host.ClearAssertions();
  CActorInstance& fed = host.Spawn(plugin, "fed");  // a healthy neighbour still works
  vh.SendRegisteredKinds();
  host.MemoryServices().Switches().mFailAllocateMemory = true;
  host.Deactivate(starved);
  host.Dispose(starved);
  host.MemoryServices().Switches().mFailAllocateMemory = false;
  host.ClearAssertions();
  host.Dispose(fed);
  vh.Account(findings);
  return findings;
}

CFindings CheckNothingRunsAfterDisposal(const CTestContext& context) {
  // A load of its own, unloaded at the end: code of the file that still
  // runs then crashes this child, and the crash is the finding.
  std::unique_ptr<CPlugin> unshared = LoadPluginUnshared(context.mPluginPath);
  const CPlugin& plugin = *unshared;
  CFindings findings;
  const int before = PluginThreadCount(context.mPluginPath);
  {
    CValidationHost vh;
    CHost& host = vh.Host();
    std::vector<CActorInstance*> set;
    for (int i = 0; i < 4; ++i) set.push_back(&host.Spawn(plugin));
    for (int t = 0; t < context.Scaled(10); ++t) vh.SendRegisteredKinds();
    vh.Account(findings);
  }
  const int after = PluginThreadCount(context.mPluginPath);
  if (after > before) {
    findings.push_back(fmt::format(
        "{} thread(s) of the plug-in still running after its last instance was disposed (code of the file "
        "would run after unloading)",
        after - before));
    // Unloading now would only crash in the thread: the file stays loaded
    // for the rest of this process.
    static_cast<void>(unshared.release());
    return findings;
  }
  for (int round = 0; round < 3; ++round) {  // unload, load again, use again
    NoteStep(fmt::format("unloading the file after its last disposal (round {})", round + 1));
    unshared.reset();
    unshared = LoadPluginUnshared(context.mPluginPath);
    CValidationHost vh;
    vh.Host().Spawn(*unshared);
    vh.SendRegisteredKinds();
    vh.Account(findings);
  }
  NoteStep("unloading the file for the last time");
  unshared.reset();
  return findings;
}

}  // namespace

void AddLifecycleTests(std::vector<CValidationTest>& tests) {
  tests.push_back({"lifecycle.repeat", 1, "create, activate, messages, deactivate, dispose, many times", CheckRepeat});
  tests.push_back({"lifecycle.quiet", 1, "deactivation before any message; disposal without activation",
                   CheckQuietAndUnactivated});
  tests.push_back({"lifecycle.orders", 2, "three instances at once, disposed in every order", CheckDisposalOrders});
  tests.push_back({"lifecycle.no_memory", 3, "an instance whose AllocateMemory fails, beside a healthy one",
                   CheckNoMemory});
  tests.push_back({"lifecycle.unload", 2, "no thread of the plug-in left after the last disposal; unloads and loads again",
                   CheckNothingRunsAfterDisposal});
}

}  // namespace vhost::validate
