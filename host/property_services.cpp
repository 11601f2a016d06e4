#include "host/property_services.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>

#include "host/actor_instance.h"
#include "host/four_char_code.h"
#include "host/input_conversion.h"
#include "host/output_recorder.h"
#include "host/plugin_abi.h"
#include "host/record_layout.h"
#include "host/skeleton_snapshot.h"
#include "host/wire_graph.h"

namespace vhost {

namespace {

// A Value read as a number: integers and floats; anything else is no limit.
std::optional<double> NumberOf(const Value* value) {
  if (value == nullptr) return std::nullopt;
  const auto type = layout::ReadAt<uint16_t>(value, layout::kValueType);
  if (type == layout::kTypeFloat) return layout::ReadAt<double>(value, layout::kValuePayload);
  if (type == layout::kTypeInteger) {
    return static_cast<double>(layout::ReadAt<int64_t>(value, layout::kValuePayload));
  }
  return std::nullopt;
}

uint16_t ExpectedTag(EPropertyType type) {
  switch (type) {
    case EPropertyType::kInt:
    case EPropertyType::kBool:
      return layout::kTypeInteger;
    case EPropertyType::kFloat:
      return layout::kTypeFloat;
    case EPropertyType::kString:
      return layout::kTypeString;
    case EPropertyType::kData:
      return layout::kTypeData;
  }
  return 0;
}

}  // namespace

Value* CPropertyServices::GetInputPropertyValue(void* ref, uint16_t index) {
  CActorInstance* instance = mContext.mLiveInstance(ref, "GetInputPropertyValue");
  if (instance == nullptr) return nullptr;
  if (index < 1 || index > instance->InputCount()) {
    mContext.mReport(
        fmt::format("GetInputPropertyValue: '{}' has no input {}", instance->Name(), index));
    return nullptr;
  }
  return instance->MutableInput(index).mValue.Record();
}

void CPropertyServices::CheckOutputType(CActorInstance& instance, uint16_t index,
                                        const COutputSlot& slot) {
  const uint16_t tag = slot.mValue.Type();
  const uint16_t expected = ExpectedTag(slot.mDescriptor.mType);
  if (tag != expected) {
    mContext.mReport(fmt::format("'{}' sent a value of tag {} on output {} ({}), declared {}",
                                 instance.Name(), tag, index, slot.mDisplayName,
                                 slot.mDescriptor.mTypeText));
    return;
  }
  if (tag == layout::kTypeData && slot.mDescriptor.mDataRestriction == "skel" &&
      slot.mValue.AsPointer() != nullptr &&
      layout::ReadAt<uint32_t>(slot.mValue.AsPointer(), 0) != layout::kSkeletonSignature) {
    mContext.mReport(fmt::format("'{}' sent data that is not a skeleton package on output {} ({})",
                                 instance.Name(), index, slot.mDisplayName));
  }
}

void CPropertyServices::RecordOutput(CActorInstance& instance, uint16_t index,
                                     const COutputSlot& slot) {
  if (!mRecorder.Enabled()) {
    mRecorder.Add({});
    return;
  }
  COutputRecord record;
  record.mTick = mTicks;
  record.mInstanceSerial = instance.Serial();
  record.mInstanceName = instance.Name();
  record.mOutputIndex = index;
  record.mOutputID = slot.mDescriptor.mID;
  record.mOutputName = slot.mDisplayName;
  record.mValue = slot.mValue;
  record.mText = slot.mValue.Text();
  if (slot.mValue.Type() == layout::kTypeData)
    record.mSkeleton = DecodeSkeleton(slot.mValue.AsPointer());
  mRecorder.Add(std::move(record));
}

uint16_t CPropertyServices::SetOutputPropertyValue(void* ref, uint16_t index, Value* value) {
  CActorInstance* instance = mContext.mLiveInstance(ref, "SetOutputPropertyValue");
  if (instance == nullptr) return kErrUnknownActor;
  if (index < 1 || index > instance->OutputCount()) {
    mContext.mReport(
        fmt::format("SetOutputPropertyValue: '{}' has no output {}", instance->Name(), index));
    return kErrBadIndex;
  }
  if (value == nullptr) {
    mContext.mReport(fmt::format("SetOutputPropertyValue: null value for output {} of '{}'", index,
                                 instance->Name()));
    return kErrBadArgument;
  }
  COutputSlot& slot = instance->MutableOutput(index);
  // Taken before returning: the plug-in may release its string right after.
  slot.mValue = CHostValue::CopyOf(value);
  slot.mSent = true;
  CheckOutputType(*instance, index, slot);
  RecordOutput(*instance, index, slot);

  // Copies: a receiving plug-in may remove this output.
  const CHostValue sent = slot.mValue;
  mWires.Propagate(mParameters, *instance, slot.mSerial, sent);
  return kNoError;
}

int32_t CPropertyServices::GetPropertyHelpIndex(void* ref, uint8_t kind, uint16_t index) {
  CActorInstance* instance = mContext.mLiveInstance(ref, "GetPropertyHelpIndex");
  if (instance == nullptr) return -1;
  return instance->HelpIndex(kind, index);
}

uint16_t CPropertyServices::AddOutputProperty(void* ref, uint8_t kind, uint32_t newID,
                                              uint32_t templateID, const char* name, uint32_t zero1,
                                              uint32_t code1, uint32_t code2, uint32_t flags255,
                                              Value* minimum, Value* maximum, Value* defaultValue,
                                              uint32_t zero2, uint32_t zero3, uint32_t zero4) {
  CActorInstance* instance = mContext.mLiveInstance(ref, "AddOutputProperty");
  if (instance == nullptr) return kErrUnknownActor;
  if (mSwitches.mFailAddOutputProperty) return kErrSwitchedOff;
  if (kind != 2) {
    mContext.mReport(
        fmt::format("AddOutputProperty: kind {} (only outputs, kind 2, can be added)", kind));
    return kErrBadKind;
  }
  if (name == nullptr) {
    mContext.mReport("AddOutputProperty: null name");
    return kErrBadArgument;
  }
  if (zero1 != 0 || zero2 != 0 || zero3 != 0 || zero4 != 0 || flags255 != 255) {
    mContext.mReport(
        fmt::format("AddOutputProperty: unexpected constant arguments ({}, {}, {}, {}, {})", zero1,
                    flags255, zero2, zero3, zero4));
  }
  if (instance->OutputCount() >= kMaxPropertyIndex) {
    mContext.mReport(
        fmt::format("AddOutputProperty: '{}' has {} outputs, as many as a 16-bit index can number",
                    instance->Name(), instance->OutputCount()));
    return kErrBadIndex;
  }
  const std::string id = FourCharText(newID);
  if (const EAddOutput taken = instance->CheckNewOutputID(id); taken != EAddOutput::kAdded) {
    mContext.mReport(fmt::format("AddOutputProperty: '{}' already has an {} '{}'", instance->Name(),
                                 taken == EAddOutput::kOutputIDTaken ? "output" : "input", id));
    return kErrDuplicateID;
  }
  // What the plug-in said about the output; the instance makes the slot.
  CPropertyDescriptor descriptor;
  descriptor.mKind = EPropertyKind::kOutput;
  descriptor.mName = name;
  descriptor.mID = id;
  descriptor.mCode = newID;
  const CTypeCodes codes{code1, code2};
  if (!ApplyTypeCodes(codes, descriptor)) {
    mContext.mReport(fmt::format("AddOutputProperty: type codes {} {} were never handed out",
                                 FourCharDescription(code1), FourCharDescription(code2)));
    return kErrUnknownTypeCode;
  }
  descriptor.mMinimum = NumberOf(minimum);
  descriptor.mMaximum = NumberOf(maximum);
  CHostValue value =
      defaultValue != nullptr ? CHostValue::CopyOf(defaultValue) : DefaultValueOf(descriptor);
  instance->AddOutput(std::move(descriptor), codes, std::move(value), templateID);
  return kNoError;
}

uint16_t CPropertyServices::RemoveOutputProperty(void* ref, uint8_t kind, uint16_t index) {
  CActorInstance* instance = mContext.mLiveInstance(ref, "RemoveOutputProperty");
  if (instance == nullptr) return kErrUnknownActor;
  if (mSwitches.mFailRemoveOutputProperty) return kErrSwitchedOff;
  if (kind != 2) {
    mContext.mReport(
        fmt::format("RemoveOutputProperty: kind {} (only outputs can be removed)", kind));
    return kErrBadKind;
  }
  if (index < 1 || index > instance->OutputCount()) {
    mContext.mReport(
        fmt::format("RemoveOutputProperty: '{}' has no output {}", instance->Name(), index));
    return kErrBadIndex;
  }
  mWires.ForgetOutput(*instance, instance->RemoveOutput(index));
  return kNoError;
}

uint16_t CPropertyServices::GetPropertyCount(void* ref, uint8_t kind, uint32_t* count) {
  CActorInstance* instance = mContext.mLiveInstance(ref, "GetPropertyCount");
  if (instance == nullptr) return kErrUnknownActor;
  if (mSwitches.mFailGetPropertyCount) return kErrSwitchedOff;
  if (count == nullptr) {
    mContext.mReport("GetPropertyCount: null count pointer");
    return kErrBadArgument;
  }
  if (kind == 1) {
    *count = static_cast<uint32_t>(instance->InputCount());
  } else if (kind == 2) {
    *count = static_cast<uint32_t>(instance->OutputCount());
  } else {
    mContext.mReport(fmt::format("GetPropertyCount: kind {}", kind));
    return kErrBadKind;
  }
  return kNoError;
}

uint16_t CPropertyServices::GetPropertyTypeCodes(void* ref, uint8_t kind, uint16_t index,
                                                 uint32_t* code1, uint32_t* code2) {
  CActorInstance* instance = mContext.mLiveInstance(ref, "GetPropertyTypeCodes");
  if (instance == nullptr) return kErrUnknownActor;
  if (code1 == nullptr || code2 == nullptr) {
    mContext.mReport("GetPropertyTypeCodes: null code pointer");
    return kErrBadArgument;
  }
  const CPropertySlot* slot = instance->Property(kind, index);
  if (slot == nullptr) {
    mContext.mReport(fmt::format("GetPropertyTypeCodes: '{}' has no property {} of kind {}",
                                 instance->Name(), index, kind));
    return kErrBadIndex;
  }
  *code1 = slot->mCodes.mTypeCode;
  *code2 = slot->mCodes.mDisplayCode;
  return kNoError;
}

uint16_t CPropertyServices::SetPropertyDisplayName(void* ref, uint8_t kind, uint16_t index,
                                                   const char* name) {
  CActorInstance* instance = mContext.mLiveInstance(ref, "SetPropertyDisplayName");
  if (instance == nullptr) return kErrUnknownActor;
  if (name == nullptr) {
    mContext.mReport("SetPropertyDisplayName: null name");
    return kErrBadArgument;
  }
  CPropertySlot* slot = instance->Property(kind, index);
  if (slot == nullptr) {
    mContext.mReport(fmt::format("SetPropertyDisplayName: '{}' has no property {} of kind {}",
                                 instance->Name(), index, kind));
    return kErrBadIndex;
  }
  slot->mDisplayName = name;
  return kNoError;
}

uint16_t CPropertyServices::GetPropertyDisplayName(void* ref, uint8_t kind, uint16_t index,
                                                   char* buffer, uint32_t size) {
  CActorInstance* instance = mContext.mLiveInstance(ref, "GetPropertyDisplayName");
  if (instance == nullptr) {
    if (buffer != nullptr && size != 0) buffer[0] = 0;
    return kErrUnknownActor;
  }
  if (buffer == nullptr || size == 0) {
    mContext.mReport("GetPropertyDisplayName: no buffer");
    return kErrBadArgument;
  }
  const CPropertySlot* slot = instance->Property(kind, index);
  if (slot == nullptr) {
    buffer[0] = 0;
    mContext.mReport(fmt::format("GetPropertyDisplayName: '{}' has no property {} of kind {}",
                                 instance->Name(), index, kind));
    return kErrBadIndex;
  }
  const std::string& name = slot->mDisplayName;
  const size_t n = std::min<size_t>(name.size(), size - 1);
  std::memcpy(buffer, name.data(), n);
  buffer[n] = 0;
  return kNoError;
}

}  // namespace vhost
