#include "tools/macos_smoke/smoke_host.h"

#include <cstdlib>
#include <cstring>

namespace layout = vhost::layout;

CSmokeHost* CSmokeHost::sCurrent = nullptr;

namespace {

// Writes service `fn` at byte `offset` of the table.
template <class Fn>
void Put(std::array<void*, layout::kServiceSlotCount>& table, size_t offset, Fn fn) {
  table[offset / sizeof(void*)] = reinterpret_cast<void*>(fn);
}

}  // namespace

CSmokeHost::CSmokeHost() {
  namespace svc = vhost::service;
  Put<svc::RegisterMessageReceiver>(mServices, 0x008, &RegisterMessageReceiver);
  Put<svc::UnregisterMessageReceiver>(mServices, 0x010, &UnregisterMessageReceiver);
  Put<svc::GetInputPropertyValue>(mServices, 0x030, &GetInputPropertyValue);
  Put<svc::SetOutputPropertyValue>(mServices, 0x038, &SetOutputPropertyValue);
  Put<svc::GetPropertyHelpIndex>(mServices, 0x0b8, &GetPropertyHelpIndex);
  Put<svc::AddOutputProperty>(mServices, 0x0c0, &AddOutputProperty);
  Put<svc::RemoveOutputProperty>(mServices, 0x0c8, &RemoveOutputProperty);
  Put<svc::GetPropertyCount>(mServices, 0x0d0, &GetPropertyCount);
  Put<svc::AllocateMemory>(mServices, 0x118, &AllocateMemory);
  Put<svc::FreeMemory>(mServices, 0x120, &FreeMemory);
  Put<svc::AssertionFailed>(mServices, 0x160, &AssertionFailed);
  Put<svc::LoadActorPicture>(mServices, 0x168, &LoadActorPicture);
  Put<svc::DrawActorPicture>(mServices, 0x170, &DrawActorPicture);
  Put<svc::GetPropertyTypeCodes>(mServices, 0x1c8, &GetPropertyTypeCodes);
  Put<svc::MakeStringValue>(mServices, 0x310, &MakeStringValue);
  Put<svc::ReleaseValue>(mServices, 0x318, &ReleaseValue);
  Put<svc::SetPropertyDisplayName>(mServices, 0x510, &SetPropertyDisplayName);
  Put<svc::GetPropertyDisplayName>(mServices, 0x670, &GetPropertyDisplayName);
  layout::WriteAt<void* const*>(mParameters.data(), layout::kServiceTablePtr, mServices.data());
  sCurrent = this;
}

CSmokeHost::~CSmokeHost() {
  for (void* block : mBlocks) std::free(block);
  for (void* text : mStrings) std::free(text);
  for (void* text : mOwnStrings) std::free(text);
  if (sCurrent == this) sCurrent = nullptr;
}

ActorInfo* CSmokeHost::MakeInstance(const unsigned char* registration) {
  std::memcpy(mInstance.data(), registration, mInstance.size());
  layout::WriteAt<void*>(mInstance.data(), layout::kActorRef, this);
  layout::WriteAt<void*>(mInstance.data(), layout::kActorDataPtr, nullptr);
  return Instance();
}

void CSmokeHost::IntegerValue(int64_t integer, unsigned char* value) {
  std::memset(value, 0, layout::kValueSize);
  layout::WriteAt<uint16_t>(value, layout::kValueType, layout::kTypeInteger);
  layout::WriteAt<int64_t>(value, layout::kValuePayload, integer);
}

void CSmokeHost::FloatValue(double number, unsigned char* value) {
  std::memset(value, 0, layout::kValueSize);
  layout::WriteAt<uint16_t>(value, layout::kValueType, layout::kTypeFloat);
  layout::WriteAt<double>(value, layout::kValuePayload, number);
}

void CSmokeHost::DataValue(const void* data, unsigned char* value) {
  std::memset(value, 0, layout::kValueSize);
  layout::WriteAt<uint16_t>(value, layout::kValueType, layout::kTypeData);
  layout::WriteAt<const void*>(value, layout::kValuePayload, data);
}

void CSmokeHost::StringValue(const std::string& text, unsigned char* value) {
  std::memset(value, 0, layout::kValueSize);
  void* hostString = MakeHostString(text);
  mOwnStrings.push_back(hostString);
  layout::WriteAt<uint16_t>(value, layout::kValueType, layout::kTypeString);
  layout::WriteAt<void*>(value, layout::kValuePayload, hostString);
}

void CSmokeHost::SendMessage(uint32_t kind) {
  // A receiver may unregister itself: call a copy.
  const std::map<void*, CReceiver> receivers = mReceivers;
  for (const auto& [handle, receiver] : receivers) {
    if ((receiver.mKindMask & kind) != 0)
      receiver.mReceiver(Parameters(), kind, 0, nullptr, 0, receiver.mRefcon);
  }
}

void* CSmokeHost::MakeHostString(const std::string& text) {
  // calloc'ed, so the characters end in a NUL.
  auto* block = static_cast<char*>(std::calloc(1, layout::kHostStringText + text.size() + 1));
  if (block != nullptr) text.copy(block + layout::kHostStringText, text.size());
  return block;
}

void* CSmokeHost::RegisterMessageReceiver(vhost::MessageReceiverFn receiver, uintptr_t,
                                          uint32_t mask, ActorInfo*, uintptr_t, void* refcon) {
  CSmokeHost* host = sCurrent;
  if (host == nullptr || receiver == nullptr ||
      host->mNextHandle >= static_cast<int>(host->mHandles.size()))
    return nullptr;
  void* handle = &host->mHandles[static_cast<size_t>(host->mNextHandle++)];
  host->mReceivers[handle] = {receiver, mask, refcon};
  return handle;
}

void CSmokeHost::UnregisterMessageReceiver(void* handle) {
  if (sCurrent != nullptr) sCurrent->mReceivers.erase(handle);
}

Value* CSmokeHost::StoreInput(uint16_t index, const unsigned char* value) {
  auto& kept = mInputs[index].mBytes;
  std::memcpy(kept.data(), value, kept.size());
  return reinterpret_cast<Value*>(kept.data());
}

Value* CSmokeHost::GetInputPropertyValue(void* ref, uint16_t index) {
  if (sCurrent == nullptr || !sCurrent->IsOwnRef(ref)) return nullptr;
  auto found = sCurrent->mInputs.find(index);
  return found != sCurrent->mInputs.end() ? reinterpret_cast<Value*>(found->second.mBytes.data()) : nullptr;
}

uint16_t CSmokeHost::SetOutputPropertyValue(void* ref, uint16_t index, Value* value) {
  CSmokeHost* host = sCurrent;
  if (host == nullptr || !host->IsOwnRef(ref)) return vhost::kErrUnknownActor;
  if (value == nullptr) return vhost::kErrBadArgument;
  COutputValue sent;
  sent.mType = layout::ReadAt<uint16_t>(value, layout::kValueType);
  switch (sent.mType) {
    case layout::kTypeInteger:
      sent.mInteger = layout::ReadAt<int64_t>(value, layout::kValuePayload);
      break;
    case layout::kTypeFloat:
      sent.mFloat = layout::ReadAt<double>(value, layout::kValuePayload);
      break;
    case layout::kTypeString: {
      const auto* text = layout::ReadAt<const char*>(value, layout::kValuePayload);
      if (text != nullptr) sent.mText = text + layout::kHostStringText;
      break;
    }
    case layout::kTypeData: {
      const auto* data = layout::ReadAt<const unsigned char*>(value, layout::kValuePayload);
      sent.mNullData = data == nullptr;
      if (data != nullptr &&
          layout::ReadAt<uint32_t>(data, layout::kSkelSignature) == layout::kSkeletonSignature) {
        const uint32_t points = layout::ReadAt<uint32_t>(data, layout::kSkelPointCount);
        if (points <= 256)
          sent.mPackage.assign(data, data + layout::kSkelHeaderSize + points * layout::kSkelPointSize);
      }
      break;
    }
    default:
      return vhost::kErrBadArgument;
  }
  host->mSent[index].push_back(std::move(sent));
  return vhost::kNoError;
}

int32_t CSmokeHost::GetPropertyHelpIndex(void*, uint8_t kind, uint16_t index) {
  if (kind == 0) return 0;
  if (kind == 1) return index;
  const uint16_t inputs = sCurrent != nullptr ? sCurrent->mInputCount : 0;
  return inputs + index;
}

uint16_t CSmokeHost::AddOutputProperty(void* ref, uint8_t, uint32_t, uint32_t, const char*,
                                       uint32_t, uint32_t, uint32_t, uint32_t, Value*, Value*,
                                       Value*, uint32_t, uint32_t, uint32_t) {
  if (sCurrent == nullptr || !sCurrent->IsOwnRef(ref)) return vhost::kErrUnknownActor;
  ++sCurrent->mAddedOutputs;
  ++sCurrent->mOutputCount;
  return vhost::kNoError;
}

uint16_t CSmokeHost::RemoveOutputProperty(void* ref, uint8_t, uint16_t index) {
  if (sCurrent == nullptr || !sCurrent->IsOwnRef(ref)) return vhost::kErrUnknownActor;
  if (index == 0 || index > sCurrent->mOutputCount) return vhost::kErrBadIndex;
  --sCurrent->mOutputCount;
  return vhost::kNoError;
}

uint16_t CSmokeHost::GetPropertyCount(void* ref, uint8_t kind, uint32_t* count) {
  if (sCurrent == nullptr || !sCurrent->IsOwnRef(ref)) return vhost::kErrUnknownActor;
  if (count == nullptr) return vhost::kErrBadArgument;
  if (kind != 1 && kind != 2) return vhost::kErrBadKind;
  *count = kind == 1 ? sCurrent->mInputCount : sCurrent->mOutputCount;
  return vhost::kNoError;
}

void* CSmokeHost::AllocateMemory(uint64_t size, uint32_t) {
  if (sCurrent == nullptr) return nullptr;
  void* block = std::calloc(1, size != 0 ? size : 1);
  if (block != nullptr) sCurrent->mBlocks.insert(block);
  return block;
}

uint16_t CSmokeHost::FreeMemory(void* block) {
  if (sCurrent == nullptr || block == nullptr) return vhost::kErrBadArgument;
  if (sCurrent->mBlocks.erase(block) == 0) {
    sCurrent->mAssertions.push_back("FreeMemory of a block this host never gave");
    return vhost::kErrBadArgument;
  }
  std::free(block);
  return vhost::kNoError;
}

void CSmokeHost::AssertionFailed(const char* condition, const char* actorName, int32_t line) {
  if (sCurrent == nullptr) return;
  sCurrent->mAssertions.push_back(std::string(condition != nullptr ? condition : "(null)") + " in " +
                                  (actorName != nullptr ? actorName : "(null)") + ", line " +
                                  std::to_string(line));
}

void CSmokeHost::LoadActorPicture(ActorInfo*, uint32_t, PictInfo* pict) {
  if (pict == nullptr) return;
  layout::WriteAt<uint8_t>(pict, layout::kPictureLoaded, 1);
  layout::WriteAt<uint16_t>(pict, layout::kPictureWidth, 32);
  layout::WriteAt<uint16_t>(pict, layout::kPictureHeight, 32);
}

void CSmokeHost::DrawActorPicture(ActorInfo*, uint8_t, Rect*, PictInfo*) {}

uint16_t CSmokeHost::GetPropertyTypeCodes(void* ref, uint8_t, uint16_t, uint32_t* code1,
                                          uint32_t* code2) {
  if (sCurrent == nullptr || !sCurrent->IsOwnRef(ref)) return vhost::kErrUnknownActor;
  if (code1 != nullptr) *code1 = 1;
  if (code2 != nullptr) *code2 = 2;
  return vhost::kNoError;
}

uint16_t CSmokeHost::MakeStringValue(const char* text, Value* value) {
  if (sCurrent == nullptr || text == nullptr || value == nullptr) return vhost::kErrBadArgument;
  void* hostString = sCurrent->MakeHostString(text);
  if (hostString == nullptr) return vhost::kErrBadArgument;
  sCurrent->mStrings.insert(hostString);
  std::memset(value, 0, layout::kValueSize);
  layout::WriteAt<uint16_t>(value, layout::kValueType, layout::kTypeString);
  layout::WriteAt<void*>(value, layout::kValuePayload, hostString);
  return vhost::kNoError;
}

void CSmokeHost::ReleaseValue(Value* value) {
  if (sCurrent == nullptr || value == nullptr) return;
  if (layout::ReadAt<uint16_t>(value, layout::kValueType) != layout::kTypeString) return;
  void* hostString = layout::ReadAt<void*>(value, layout::kValuePayload);
  if (sCurrent->mStrings.erase(hostString) != 0) std::free(hostString);
  layout::WriteAt<void*>(value, layout::kValuePayload, nullptr);
}

uint16_t CSmokeHost::SetPropertyDisplayName(void* ref, uint8_t, uint16_t, const char*) {
  if (sCurrent == nullptr || !sCurrent->IsOwnRef(ref)) return vhost::kErrUnknownActor;
  return vhost::kNoError;
}

uint16_t CSmokeHost::GetPropertyDisplayName(void* ref, uint8_t, uint16_t, char* buffer,
                                            uint32_t size) {
  if (sCurrent == nullptr || !sCurrent->IsOwnRef(ref)) return vhost::kErrUnknownActor;
  if (buffer != nullptr && size > 0) buffer[0] = 0;
  return vhost::kNoError;
}
