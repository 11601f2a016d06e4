#include "host/actor_instance.h"

namespace vhost {

CActorInstance::CActorInstance(const CPlugin& plugin, std::string name, uint32_t serial)
    : mPlugin(&plugin), mName(std::move(name)), mSerial(serial) {
  std::copy(plugin.Registration(), plugin.Registration() + layout::kActorInfoSize, mRecord.begin());
  layout::WriteAt<void*>(mRecord.data(), layout::kActorRef, this);
  layout::WriteAt<void*>(mRecord.data(), layout::kActorDataPtr, nullptr);
}

uint16_t CActorInstance::FindInput(std::string_view key) const {
  for (size_t i = 0; i < mInputs.size(); ++i) {
    if (mInputs[i]->mDescriptor.mName == key || mInputs[i]->mDescriptor.mID == key) {
      return static_cast<uint16_t>(i + 1);
    }
  }
  return 0;
}

uint16_t CActorInstance::FindOutput(std::string_view key) const {
  for (size_t i = 0; i < mOutputs.size(); ++i) {
    if (mOutputs[i]->mDescriptor.mID == key) return static_cast<uint16_t>(i + 1);
  }
  for (size_t i = 0; i < mOutputs.size(); ++i) {
    if (mOutputs[i]->mDisplayName == key) return static_cast<uint16_t>(i + 1);
  }
  for (size_t i = 0; i < mOutputs.size(); ++i) {
    if (mOutputs[i]->mDescriptor.mName == key) return static_cast<uint16_t>(i + 1);
  }
  return 0;
}

uint16_t CActorInstance::OutputIndexOfSerial(uint64_t serial) const {
  for (size_t i = 0; i < mOutputs.size(); ++i) {
    if (mOutputs[i]->mSerial == serial) return static_cast<uint16_t>(i + 1);
  }
  return 0;
}

}  // namespace vhost
