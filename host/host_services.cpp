// The host's side of each service in its table: what a plug-in's call does.
// Every handler runs on the main thread (service_table.cpp checks) and never
// throws into the plug-in (service_table.cpp catches). Handlers check what
// the plug-in passed and report misuse; the parts do the work.
#include <fmt/format.h>

#include <algorithm>
#include <cstring>
#include <iostream>

#include "host/entry_point_call.h"
#include "host/four_char_code.h"
#include "host/host.h"
#include "host/input_conversion.h"

namespace vhost {

namespace {

std::string Quoted(const char* text) { return text != nullptr ? fmt::format("'{}'", text) : "null"; }

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
    case EPropertyType::kBool: return layout::kTypeInteger;
    case EPropertyType::kFloat: return layout::kTypeFloat;
    case EPropertyType::kString: return layout::kTypeString;
    case EPropertyType::kData: return layout::kTypeData;
  }
  return 0;
}

}  // namespace

CActorInstance* CHost::LiveInstanceOfRef(void* ref, const char* service) {
  auto it = mLiveRefs.find(ref);
  if (it == mLiveRefs.end()) {
    ReportViolation(fmt::format("{}: {} is not an actor reference of this host", service, ref));
    return nullptr;
  }
  if (it->second->State() == CActorInstance::EState::kDisposed) {
    ReportViolation(fmt::format("{}: '{}' was disposed", service, it->second->Name()));
    return nullptr;
  }
  return it->second;
}

// ---- Message receivers ----

void* CHost::SvcRegisterMessageReceiver(MessageReceiverFn receiver, uintptr_t, uint32_t kindMask,
                                        ActorInfo* info, uintptr_t, void* refcon) {
  if (receiver == nullptr) {
    ReportViolation("RegisterMessageReceiver with a null receiver");
    return nullptr;
  }
  if (kindMask == 0) ReportViolation("RegisterMessageReceiver with kind mask 0 (it can never be called)");
  return mReceivers.Register(receiver, kindMask, info, refcon);
}

void CHost::SvcUnregisterMessageReceiver(void* handle) {
  if (!mReceivers.Unregister(handle)) {
    ReportViolation(fmt::format("UnregisterMessageReceiver with unknown handle {}", handle));
  }
}

// ---- Property values ----

Value* CHost::SvcGetInputPropertyValue(void* ref, uint16_t index) {
  CActorInstance* instance = LiveInstanceOfRef(ref, "GetInputPropertyValue");
  if (instance == nullptr) return nullptr;
  if (index < 1 || index > instance->InputCount()) {
    ReportViolation(fmt::format("GetInputPropertyValue: '{}' has no input {}", instance->Name(), index));
    return nullptr;
  }
  return instance->MutableInput(index).mValue.Record();
}

void CHost::CheckOutputType(CActorInstance& instance, uint16_t index, const COutputSlot& slot) {
  const uint16_t tag = slot.mValue.Type();
  const uint16_t expected = ExpectedTag(slot.mDescriptor.mType);
  if (tag != expected) {
    ReportViolation(fmt::format("'{}' sent a value of tag {} on output {} ({}), declared {}",
                                instance.Name(), tag, index, slot.mDisplayName,
                                slot.mDescriptor.mTypeText));
    return;
  }
  if (tag == layout::kTypeData && slot.mDescriptor.mDataRestriction == "skel" &&
      slot.mValue.AsPointer() != nullptr &&
      layout::ReadAt<uint32_t>(slot.mValue.AsPointer(), 0) != layout::kSkeletonSignature) {
    ReportViolation(fmt::format("'{}' sent data that is not a skeleton package on output {} ({})",
                                instance.Name(), index, slot.mDisplayName));
  }
}

void CHost::RecordOutput(CActorInstance& instance, uint16_t index, const COutputSlot& slot) {
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
  if (slot.mValue.Type() == layout::kTypeData) record.mSkeleton = DecodeSkeleton(slot.mValue.AsPointer());
  mRecorder.Add(std::move(record));
}

uint16_t CHost::SvcSetOutputPropertyValue(void* ref, uint16_t index, Value* value) {
  CActorInstance* instance = LiveInstanceOfRef(ref, "SetOutputPropertyValue");
  if (instance == nullptr) return kErrUnknownActor;
  if (index < 1 || index > instance->OutputCount()) {
    ReportViolation(fmt::format("SetOutputPropertyValue: '{}' has no output {}", instance->Name(), index));
    return kErrBadIndex;
  }
  if (value == nullptr) {
    ReportViolation(fmt::format("SetOutputPropertyValue: null value for output {} of '{}'", index,
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
  mWires.Propagate(Parameters(), *instance, slot.mSerial, sent);
  return kNoError;
}

// ---- Property list ----

int32_t CHost::SvcGetPropertyHelpIndex(void* ref, uint8_t kind, uint16_t index) {
  CActorInstance* instance = LiveInstanceOfRef(ref, "GetPropertyHelpIndex");
  if (instance == nullptr) return -1;
  return instance->HelpIndex(kind, index);
}

uint16_t CHost::SvcAddOutputProperty(void* ref, uint8_t kind, uint32_t newID, uint32_t templateID,
                                     const char* name, uint32_t zero1, uint32_t code1, uint32_t code2,
                                     uint32_t flags255, Value* minimum, Value* maximum,
                                     Value* defaultValue, uint32_t zero2, uint32_t zero3,
                                     uint32_t zero4) {
  CActorInstance* instance = LiveInstanceOfRef(ref, "AddOutputProperty");
  if (instance == nullptr) return kErrUnknownActor;
  if (mSwitches.mFailAddOutputProperty) return kErrSwitchedOff;
  if (kind != 2) {
    ReportViolation(fmt::format("AddOutputProperty: kind {} (only outputs, kind 2, can be added)", kind));
    return kErrBadKind;
  }
  if (name == nullptr) {
    ReportViolation("AddOutputProperty: null name");
    return kErrBadArgument;
  }
  if (zero1 != 0 || zero2 != 0 || zero3 != 0 || zero4 != 0 || flags255 != 255) {
    ReportViolation(fmt::format("AddOutputProperty: unexpected constant arguments ({}, {}, {}, {}, {})",
                                zero1, flags255, zero2, zero3, zero4));
  }
  if (instance->OutputCount() >= kMaxPropertyIndex) {
    ReportViolation(fmt::format("AddOutputProperty: '{}' has {} outputs, as many as a 16-bit index can number",
                                instance->Name(), instance->OutputCount()));
    return kErrBadIndex;
  }
  const std::string id = FourCharText(newID);
  if (const EAddOutput taken = instance->CheckNewOutputID(id); taken != EAddOutput::kAdded) {
    ReportViolation(fmt::format("AddOutputProperty: '{}' already has an {} '{}'", instance->Name(),
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
    ReportViolation(fmt::format("AddOutputProperty: type codes {} {} were never handed out",
                                FourCharDescription(code1), FourCharDescription(code2)));
    return kErrUnknownTypeCode;
  }
  descriptor.mMinimum = NumberOf(minimum);
  descriptor.mMaximum = NumberOf(maximum);
  CHostValue value = defaultValue != nullptr ? CHostValue::CopyOf(defaultValue) : DefaultValueOf(descriptor);
  instance->AddOutput(std::move(descriptor), codes, std::move(value), templateID);
  return kNoError;
}

uint16_t CHost::SvcRemoveOutputProperty(void* ref, uint8_t kind, uint16_t index) {
  CActorInstance* instance = LiveInstanceOfRef(ref, "RemoveOutputProperty");
  if (instance == nullptr) return kErrUnknownActor;
  if (mSwitches.mFailRemoveOutputProperty) return kErrSwitchedOff;
  if (kind != 2) {
    ReportViolation(fmt::format("RemoveOutputProperty: kind {} (only outputs can be removed)", kind));
    return kErrBadKind;
  }
  if (index < 1 || index > instance->OutputCount()) {
    ReportViolation(fmt::format("RemoveOutputProperty: '{}' has no output {}", instance->Name(), index));
    return kErrBadIndex;
  }
  mWires.ForgetOutput(*instance, instance->RemoveOutput(index));
  return kNoError;
}

uint16_t CHost::SvcGetPropertyCount(void* ref, uint8_t kind, uint32_t* count) {
  CActorInstance* instance = LiveInstanceOfRef(ref, "GetPropertyCount");
  if (instance == nullptr) return kErrUnknownActor;
  if (mSwitches.mFailGetPropertyCount) return kErrSwitchedOff;
  if (count == nullptr) {
    ReportViolation("GetPropertyCount: null count pointer");
    return kErrBadArgument;
  }
  if (kind == 1) {
    *count = static_cast<uint32_t>(instance->InputCount());
  } else if (kind == 2) {
    *count = static_cast<uint32_t>(instance->OutputCount());
  } else {
    ReportViolation(fmt::format("GetPropertyCount: kind {}", kind));
    return kErrBadKind;
  }
  return kNoError;
}

uint16_t CHost::SvcGetPropertyTypeCodes(void* ref, uint8_t kind, uint16_t index, uint32_t* code1,
                                        uint32_t* code2) {
  CActorInstance* instance = LiveInstanceOfRef(ref, "GetPropertyTypeCodes");
  if (instance == nullptr) return kErrUnknownActor;
  if (code1 == nullptr || code2 == nullptr) {
    ReportViolation("GetPropertyTypeCodes: null code pointer");
    return kErrBadArgument;
  }
  const CPropertySlot* slot = instance->Property(kind, index);
  if (slot == nullptr) {
    ReportViolation(fmt::format("GetPropertyTypeCodes: '{}' has no property {} of kind {}",
                                instance->Name(), index, kind));
    return kErrBadIndex;
  }
  *code1 = slot->mCodes.mTypeCode;
  *code2 = slot->mCodes.mDisplayCode;
  return kNoError;
}

uint16_t CHost::SvcSetPropertyDisplayName(void* ref, uint8_t kind, uint16_t index, const char* name) {
  CActorInstance* instance = LiveInstanceOfRef(ref, "SetPropertyDisplayName");
  if (instance == nullptr) return kErrUnknownActor;
  if (name == nullptr) {
    ReportViolation("SetPropertyDisplayName: null name");
    return kErrBadArgument;
  }
  CPropertySlot* slot = instance->Property(kind, index);
  if (slot == nullptr) {
    ReportViolation(fmt::format("SetPropertyDisplayName: '{}' has no property {} of kind {}",
                                instance->Name(), index, kind));
    return kErrBadIndex;
  }
  slot->mDisplayName = name;
  return kNoError;
}

uint16_t CHost::SvcGetPropertyDisplayName(void* ref, uint8_t kind, uint16_t index, char* buffer,
                                          uint32_t size) {
  CActorInstance* instance = LiveInstanceOfRef(ref, "GetPropertyDisplayName");
  if (instance == nullptr) {
    if (buffer != nullptr && size != 0) buffer[0] = 0;
    return kErrUnknownActor;
  }
  if (buffer == nullptr || size == 0) {
    ReportViolation("GetPropertyDisplayName: no buffer");
    return kErrBadArgument;
  }
  const CPropertySlot* slot = instance->Property(kind, index);
  if (slot == nullptr) {
    buffer[0] = 0;
    ReportViolation(fmt::format("GetPropertyDisplayName: '{}' has no property {} of kind {}",
                                instance->Name(), index, kind));
    return kErrBadIndex;
  }
  const std::string& name = slot->mDisplayName;
  const size_t n = std::min<size_t>(name.size(), size - 1);
  std::memcpy(buffer, name.data(), n);
  buffer[n] = 0;
  return kNoError;
}

// ---- Memory and strings ----

void* CHost::SvcAllocateMemory(uint64_t size, uint32_t zeroFill) {
  mMemory.SetFailing(mSwitches.mFailAllocateMemory);
  CMemoryLedger::CAllocationSite site;
  if (const CEntryPointCall* call = CEntryPointCall::Current()) site = {call->Instance(), call->Describe()};
  return mMemory.Allocate(size, zeroFill, std::move(site));
}

void CHost::ReportPublishedIn(const CActorInstance& instance, const unsigned char* begin,
                              const unsigned char* end) {
  for (size_t i = 1; i <= instance.OutputCount(); ++i) {
    const COutputSlot& slot = instance.Output(static_cast<uint16_t>(i));
    if (!slot.mSent || slot.mValue.Type() != layout::kTypeData) continue;
    const auto* published = static_cast<const unsigned char*>(slot.mValue.AsPointer());
    if (published == nullptr || published < begin || published >= end) continue;
    ReportViolation(fmt::format("'{}' freed a block that is still the last value of its output {} ('{}'), "
                                "in {} (publish a null data value before freeing a published package)",
                                instance.Name(), i, slot.mDisplayName, CEntryPointCall::DescribeCurrent()));
  }
}

void CHost::CheckFreedBlockIsNotPublished(const void* block, uint64_t size) {
  const auto* begin = static_cast<const unsigned char*>(block);
  const auto* end = begin + std::max<uint64_t>(size, 1);
  for (const auto& instance : mInstances) {
    if (instance->IsLive()) ReportPublishedIn(*instance, begin, end);
  }
}

void CHost::CheckHeapReleaseByPlugin(const void* block, size_t size) {
  // Only the instance whose entry point runs: looking through every
  // instance on each free() would make large patches quadratic.
  const CEntryPointCall* call = CEntryPointCall::Current();
  if (call == nullptr || call->Instance().empty()) return;
  const CActorInstance* instance = FindInstance(call->Instance());
  if (instance == nullptr || !instance->IsLive()) return;
  const auto* begin = static_cast<const unsigned char*>(block);
  ReportPublishedIn(*instance, begin, begin + std::max<size_t>(size, 1));
}

uint16_t CHost::SvcFreeMemory(void* block) {
  if (const auto size = mMemory.BlockSize(block)) {
    CheckFreedBlockIsNotPublished(block, *size);
    if (auto damage = mMemory.GuardDamage(block)) {
      ReportViolation(fmt::format("{}; found when it was freed in {}", *damage, CEntryPointCall::DescribeCurrent()));
    }
  }
  if (mMemory.Free(block) == CMemoryLedger::EFree::kUnknown) {
    ReportViolation(fmt::format("FreeMemory of {}, which is not a live block of this host", block));
    return kErrBadArgument;
  }
  return kNoError;
}

uint16_t CHost::SvcMakeStringValue(const char* text, Value* value) {
  if (text == nullptr || value == nullptr) {
    ReportViolation(fmt::format("MakeStringValue with a null {}", text == nullptr ? "text" : "value"));
    return kErrBadArgument;
  }
  void* hostString = mStrings.Make(text);
  std::memset(static_cast<void*>(value), 0, layout::kValueSize);
  layout::WriteAt(value, layout::kValueType, layout::kTypeString);
  layout::WriteAt(value, layout::kValuePayload, hostString);
  return kNoError;
}

void CHost::SvcReleaseValue(Value* value) {
  if (value == nullptr) return;
  if (layout::ReadAt<uint16_t>(value, layout::kValueType) != layout::kTypeString) return;
  void* hostString = layout::ReadAt<void*>(value, layout::kValuePayload);
  if (hostString == nullptr) return;
  if (!mStrings.Release(hostString)) {
    ReportViolation(fmt::format("ReleaseValue of string {}, which this host did not make or already "
                                "released",
                                hostString));
    return;
  }
  layout::WriteAt<void*>(value, layout::kValuePayload, nullptr);
}

// ---- Assertions and picture ----

void CHost::SvcAssertionFailed(const char* condition, const char* actorName, int32_t line) {
  CAssertionReport report{condition != nullptr ? condition : "", actorName != nullptr ? actorName : "",
                          line};
  if (mSwitches.mPrintAssertions) {
    std::cerr << fmt::format("actorhost: assertion failed in {} line {}: {}\n", Quoted(actorName),
                             line, Quoted(condition));
  }
  mAssertions.push_back(std::move(report));
}

void CHost::SvcLoadActorPicture(ActorInfo*, uint32_t, PictInfo* pict) {
  ++mCounters.mPictureLoads;
  if (pict == nullptr) {
    ReportViolation("LoadActorPicture with a null picture record");
    return;
  }
  if (mSwitches.mPictureUnavailable) return;
  layout::WriteAt<uint8_t>(pict, layout::kPictureLoaded, 1);
  layout::WriteAt(pict, layout::kPictureWidth, mSwitches.mPictureWidth);
  layout::WriteAt(pict, layout::kPictureHeight, mSwitches.mPictureHeight);
}

void CHost::SvcDrawActorPicture(ActorInfo*, uint8_t state, Rect*, PictInfo* pict) {
  ++mCounters.mPictureDraws;
  mCounters.mLastPictureDrawState = state;
  if (pict == nullptr || layout::ReadAt<uint8_t>(pict, layout::kPictureLoaded) == 0) {
    ReportViolation("DrawActorPicture with a picture record that is not loaded");
  }
}

// ---- Video ----

void* CHost::SvcBeginVideoRender(void* actorData, uint32_t kind, uint16_t, const uint8_t*) {
  return mVideo.BeginVideoRender(actorData, kind);
}

intptr_t CHost::SvcEndVideoRender(void* token) { return mVideo.EndVideoRender(token); }

void CHost::SvcReleaseVideoHandle(void* handle) {
  if (handle != nullptr) ++mCounters.mVideoHandlesReleased;
}

void* CHost::SvcCreateImageBuffer(void* ref, int32_t context, int32_t width, int32_t height,
                                  uint32_t flags, uint32_t) {
  CActorInstance* instance = LiveInstanceOfRef(ref, "CreateImageBuffer");
  if (instance == nullptr) return nullptr;
  return mVideo.CreateImageBuffer(*instance, context, width, height, flags);
}

void CHost::SvcDisposeImageBuffer(void* ref, void* buffer) {
  if (LiveInstanceOfRef(ref, "DisposeImageBuffer") == nullptr) return;
  mVideo.DisposeImageBuffer(buffer);
}

int32_t CHost::SvcBeginImageBufferDraw(void* ref, void* buffer, uint8_t arg) {
  if (LiveInstanceOfRef(ref, "BeginImageBufferDraw") == nullptr) return 0;
  return mVideo.BeginImageBufferDraw(buffer, arg);
}

void* CHost::SvcEndImageBufferDraw(void* ref, void* buffer) {
  if (LiveInstanceOfRef(ref, "EndImageBufferDraw") == nullptr) return nullptr;
  return mVideo.EndImageBufferDraw(buffer);
}

}  // namespace vhost
