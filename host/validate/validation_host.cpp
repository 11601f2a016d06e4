#include "host/validate/validation_host.h"

#include <fmt/format.h>

namespace vhost::validate {

CValidationHost::CValidationHost() {
  mHost.AssertionLog().Switches().mPrintAssertions = false;
  mHost.Switches().mPrintViolations = false;
}

std::string StateName(const CActorInstance& instance) {
  switch (instance.State()) {
    case CActorInstance::EState::kDefined: return "defined";
    case CActorInstance::EState::kCreated: return "created";
    case CActorInstance::EState::kActive: return "active";
    case CActorInstance::EState::kInactive: return "inactive";
    case CActorInstance::EState::kDisposed: return "disposed";
  }
  return "?";
}

void CValidationHost::CheckPublishedPackages(CFindings& findings, const std::string& during) {
  for (CActorInstance* instance : mHost.Instances()) {
    if (!instance->IsLive()) continue;
    for (size_t i = 1; i <= instance->OutputCount(); ++i) {
      const COutputSlot& slot = instance->Output(static_cast<uint16_t>(i));
      if (slot.mDescriptor.mType != EPropertyType::kData) continue;
      const auto key = std::make_pair(instance->Serial(), slot.mSerial);
      const void* block = slot.mSent && slot.mValue.Type() == layout::kTypeData ? slot.mValue.AsPointer() : nullptr;
      const auto seen = mPublishedBlocks.find(key);
      if (block != nullptr && seen != mPublishedBlocks.end() && seen->second == block &&
          !mHost.Memory().Owns(block) && mReported.insert(key).second) {
        findings.push_back(fmt::format(
            "{}: output '{}' of {} still publishes a package the plug-in freed (publish null before "
            "freeing a published package)",
            during, slot.mDescriptor.mName, instance->Name()));
      }
      if (block != nullptr && mHost.Memory().Owns(block)) mPublishedBlocks[key] = block;
      else if (block == nullptr) mPublishedBlocks.erase(key);
    }
  }
}

size_t CValidationHost::SendRegisteredKinds() {
  uint32_t mask = 0;
  for (const auto& r : mHost.Receivers().All()) mask |= r.mKindMask;
  size_t sent = 0;
  for (uint32_t bit = 1; bit != 0; bit <<= 1) {
    if ((mask & bit) == 0) continue;
    if (bit == kMessageTick) mHost.Tick();
    else if (bit == kMessageRenderRequest) mHost.RequestRender(0);
    else if (bit == kMessageContextLost) mHost.LoseContext(1);
    else mHost.SendMessage(bit);
    ++sent;
  }
  return sent;
}

void CValidationHost::Account(CFindings& findings) {
  auto instances = mHost.Instances();
  for (auto it = instances.rbegin(); it != instances.rend(); ++it) {
    if ((*it)->IsLive()) mHost.Dispose(**it);
  }
  mHost.CheckGuardBytes();
  const auto& memory = mHost.Memory();
  if (memory.LiveBlocks() != 0) {
    findings.push_back(fmt::format("host memory not freed after every instance was disposed: {} blocks, {} bytes",
                                   memory.LiveBlocks(), memory.LiveBytes()));
  }
  if (mHost.Strings().LiveStrings() != 0) {
    findings.push_back(fmt::format("host strings not released (ReleaseValue) after every instance was disposed: {}",
                                   mHost.Strings().LiveStrings()));
  }
  if (mHost.LiveImageBuffers() != 0) {
    findings.push_back(fmt::format("image buffers not disposed after every instance was disposed: {}",
                                   mHost.LiveImageBuffers()));
  }
  if (!mHost.Receivers().All().empty()) {
    findings.push_back(fmt::format("message receivers still registered after every instance was disposed: {}",
                                   mHost.Receivers().All().size()));
  }
  const auto& counters = mHost.Video().Counters();
  if (counters.mRenderBracketsBegun != counters.mRenderBracketsEnded) {
    findings.push_back(fmt::format("render brackets begun {} times, ended {} times", counters.mRenderBracketsBegun,
                                   counters.mRenderBracketsEnded));
  }
  for (const auto& a : mHost.Assertions()) {
    findings.push_back(fmt::format("AssertionFailed(\"{}\", \"{}\", line {})", a.mCondition, a.mActorName, a.mLine));
  }
  for (const auto& v : mHost.Violations()) findings.push_back("contract violation: " + v);
  for (const auto& f : mHost.HostFaults()) findings.push_back("host fault (not the plug-in's doing): " + f);
}

}  // namespace vhost::validate
