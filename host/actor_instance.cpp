#include "host/actor_instance.h"

#include "host/four_char_code.h"
#include "host/input_conversion.h"

namespace vhost {

CActorInstance::CActorInstance(const CPlugin& plugin, std::string name, uint32_t serial)
    : mPlugin(&plugin), mName(std::move(name)), mSerial(serial) {
  std::copy(plugin.Registration(), plugin.Registration() + layout::kActorInfoSize, mRecord.begin());
  layout::WriteAt<void*>(mRecord.data(), layout::kActorRef, this);
  layout::WriteAt<void*>(mRecord.data(), layout::kActorDataPtr, nullptr);
  mDeclaredInputCount = static_cast<uint16_t>(plugin.Inputs().size());
  for (const auto& property : plugin.Properties()) {
    if (property.mKind == EPropertyKind::kInput) {
      auto slot = std::make_unique<CInputSlot>();
      slot->mDescriptor = property;
      slot->mDisplayName = property.mName;
      slot->mCodes = TypeCodesFor(property);
      slot->mValue = DefaultValueOf(property);
      slot->mHelpIndex = property.mIndex;
      mInputs.push_back(std::move(slot));
    } else {
      auto slot = std::make_unique<COutputSlot>();
      slot->mDescriptor = property;
      slot->mDisplayName = property.mName;
      slot->mCodes = TypeCodesFor(property);
      slot->mValue = DefaultValueOf(property);
      slot->mHelpIndex = mDeclaredInputCount + property.mIndex;
      slot->mSerial = mNextOutputSerial++;
      mOutputs.push_back(std::move(slot));
    }
  }
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

CPropertySlot* CActorInstance::Property(uint8_t kind, uint16_t index) {
  if (kind == 1 && index >= 1 && index <= mInputs.size()) return mInputs[index - 1].get();
  if (kind == 2 && index >= 1 && index <= mOutputs.size()) return mOutputs[index - 1].get();
  return nullptr;
}

int32_t CActorInstance::HelpIndex(uint8_t kind, uint16_t index) const {
  if (kind == 0) return index == 0 ? 0 : -1;
  const CPropertySlot* slot = const_cast<CActorInstance*>(this)->Property(kind, index);
  return slot != nullptr ? slot->mHelpIndex : -1;
}

EAddOutput CActorInstance::CheckNewOutputID(const std::string& id) const {
  for (const auto& output : mOutputs) {
    if (output->mDescriptor.mID == id) return EAddOutput::kOutputIDTaken;
  }
  for (const auto& input : mInputs) {
    if (input->mDescriptor.mID == id) return EAddOutput::kInputIDTaken;
  }
  return EAddOutput::kAdded;
}

void CActorInstance::AddOutput(CPropertyDescriptor descriptor, CTypeCodes codes, CHostValue value,
                               uint32_t templateID) {
  auto slot = std::make_unique<COutputSlot>();
  slot->mDescriptor = std::move(descriptor);
  slot->mDisplayName = slot->mDescriptor.mName;
  slot->mCodes = codes;
  slot->mValue = std::move(value);
  slot->mDescriptor.mIndex = static_cast<uint16_t>(mOutputs.size() + 1);
  slot->mAddedAtRunTime = true;
  slot->mSerial = mNextOutputSerial++;
  slot->mHelpIndex = 0;
  const std::string templateText = FourCharText(templateID);
  for (const auto& declared : mPlugin->Outputs()) {
    if (declared.mID == templateText) slot->mHelpIndex = mDeclaredInputCount + declared.mIndex;
  }
  mOutputs.push_back(std::move(slot));
}

uint64_t CActorInstance::RemoveOutput(uint16_t index) {
  const uint64_t serial = mOutputs.at(index - 1)->mSerial;
  mOutputs.erase(mOutputs.begin() + (index - 1));
  for (size_t i = 0; i < mOutputs.size(); ++i) {
    mOutputs[i]->mDescriptor.mIndex = static_cast<uint16_t>(i + 1);
  }
  return serial;
}

}  // namespace vhost
