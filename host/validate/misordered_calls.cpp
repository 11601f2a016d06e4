// Calls out of the usual order, which a robust actor survives without a
// crash, a leak or an output: disposal of an active instance without
// deactivation, activation twice in a row, and a message that reaches an
// instance after its deactivation (one that was already on its way).
#include <fmt/format.h>

#include "host/plugin.h"
#include "host/validate/isolated_run.h"
#include "host/validate/library_probe.h"
#include "host/validate/validation_host.h"
#include "host/validate/validation_test.h"

namespace vhost::validate {
namespace {

std::vector<CMessageReceiver> ReceiversOf(CHost& host, CActorInstance& instance) {
  std::vector<CMessageReceiver> mine;
  for (const auto& r : host.Receivers().All()) {
    if (r.mInfo == instance.Info() || r.mRefcon == instance.Info()) mine.push_back(r);
  }
  return mine;
}

CFindings CheckDisposeWhileActive(const CTestContext& context) {
  const CPlugin& plugin = LoadPlugin(context.mPluginPath);
  CFindings findings;
  const int threads = PluginThreadCount(context.mPluginPath);
  CValidationHost vh;
  CHost& host = vh.Host();
  CActorInstance& a = host.Spawn(plugin, "undeactivated");
  vh.SendRegisteredKinds();
  NoteStep("DisposeActor on an active instance");
  plugin.mDisposeActor(host.Parameters(), a.Info());
  if (!ReceiversOf(host, a).empty()) {
    findings.push_back(fmt::format("DisposeActor without deactivation left {} message receiver(s) registered",
                                   ReceiversOf(host, a).size()));
  }
  if (host.Memory().LiveBlocks() != 0) {
    findings.push_back(fmt::format("DisposeActor without deactivation left {} host memory block(s)",
                                   host.Memory().LiveBlocks()));
  }
  if (const int now = PluginThreadCount(context.mPluginPath); now > threads) {
    findings.push_back(fmt::format("DisposeActor without deactivation left {} thread(s) of the plug-in running",
                                   now - threads));
  }
  // The host's own record still says active: what it calls next finds no
  // block (as after a failed AllocateMemory), and its assertions about that
  // are expected.
  layout::WriteAt<void*>(a.Info(), layout::kActorDataPtr, nullptr);
  if (findings.empty()) host.Dispose(a);
  host.ClearAssertions();
  host.ClearViolations();
  if (findings.empty()) vh.Account(findings);
  return findings;
}

CFindings CheckDoubleActivation(const CTestContext& context) {
  const CPlugin& plugin = LoadPlugin(context.mPluginPath);
  CFindings findings;
  CValidationHost vh;
  CHost& host = vh.Host();
  for (int i = 0; i < context.Scaled(5); ++i) {
    CActorInstance& a = host.Spawn(plugin);
    NoteStep(fmt::format("ActivateActor(1) on an active instance, round {}", i + 1));
    plugin.mActivateActor(host.Parameters(), a.Info(), 1);
    vh.SendRegisteredKinds();
    host.Deactivate(a);
    if (!ReceiversOf(host, a).empty()) {
      findings.push_back(fmt::format("activated twice, then deactivated: {} message receiver(s) still registered",
                                     ReceiversOf(host, a).size()));
      host.ClearViolations();
      return findings;  // a receiver with a disposed instance behind it must not be called
    }
    host.Dispose(a);
  }
  vh.Account(findings);
  return findings;
}

CFindings CheckMessageAfterDeactivation(const CTestContext& context) {
  const CPlugin& plugin = LoadPlugin(context.mPluginPath);
  CFindings findings;
  CValidationHost vh;
  CHost& host = vh.Host();
  CActorInstance& a = host.Spawn(plugin, "late");
  vh.SendRegisteredKinds();
  const auto receivers = ReceiversOf(host, a);
  host.Deactivate(a);
  const uint64_t mark = host.Mark();
  int32_t contextNumber = 1;
  for (const auto& r : receivers) {
    for (uint32_t bit = 1; bit != 0; bit <<= 1) {
      if ((r.mKindMask & bit) == 0) continue;
      NoteStep(fmt::format("message 0x{:X} to an inactive instance", bit));
      const bool carriesNumber = bit == kMessageContextLost;
      r.mReceiver(host.Parameters(), bit, 0, carriesNumber ? reinterpret_cast<const uint8_t*>(&contextNumber) : nullptr,
                  carriesNumber ? 4 : 0, r.mRefcon);
    }
  }
  const auto sent = host.OutputsSince(mark, &a);
  if (!sent.empty()) {
    findings.push_back(fmt::format("an inactive instance answered a late message with {} output value(s) (first: '{}')",
                                   sent.size(), sent.front()->mOutputName));
  }
  vh.Account(findings);
  return findings;
}

}  // namespace

void AddMisorderedCallTests(std::vector<CValidationTest>& tests) {
  tests.push_back({"order.dispose_active", 6, "DisposeActor on an active instance releases what activation made",
                   CheckDisposeWhileActive});
  tests.push_back({"order.activate_twice", 6, "ActivateActor(1) twice in a row registers nothing twice",
                   CheckDoubleActivation});
  tests.push_back({"order.late_message", 6, "a message after deactivation is ignored", CheckMessageAfterDeactivation});
}

}  // namespace vhost::validate
