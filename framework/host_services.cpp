#include "framework/host_services.h"

#include <cstring>

namespace {

// The function pointer at `offset` of the host's table, or null.
template <class Proc>
Proc ServiceAt(const VorlaneParameters* params, size_t offset) {
  if (params == nullptr || params->mServiceTable == nullptr) return nullptr;
  void* slot = nullptr;
  std::memcpy(&slot, reinterpret_cast<const char*>(params->mServiceTable) + offset, sizeof(slot));
  return reinterpret_cast<Proc>(slot);
}

#define VORL_SERVICE(name) ServiceAt<HostServiceProc::name>(params, HostServiceOffset::k##name)

}  // namespace

namespace Host {

void* RegisterMessageReceiver(VorlaneParameters* params, MessageReceiverProc receiver,
                              uint32_t kindMask, ActorInfo* info, void* refcon) {
  auto fn = VORL_SERVICE(RegisterMessageReceiver);
  return fn != nullptr ? fn(receiver, 0, kindMask, info, 0, refcon) : nullptr;
}

void UnregisterMessageReceiver(VorlaneParameters* params, void* handle) {
  auto fn = VORL_SERVICE(UnregisterMessageReceiver);
  if (fn != nullptr && handle != nullptr) fn(handle);
}

Value* GetInputPropertyValue(VorlaneParameters* params, void* ref, uint16_t index) {
  auto fn = VORL_SERVICE(GetInputPropertyValue);
  return fn != nullptr ? fn(ref, index) : nullptr;
}

uint16_t SetOutputPropertyValue(VorlaneParameters* params, void* ref, uint16_t index, Value* value) {
  auto fn = VORL_SERVICE(SetOutputPropertyValue);
  return fn != nullptr ? fn(ref, index, value) : kVorlServiceMissing;
}

void ReleaseVideoHandle(VorlaneParameters* params, void* handle) {
  auto fn = VORL_SERVICE(ReleaseVideoHandle);
  if (fn != nullptr) fn(handle);
}

int32_t GetPropertyHelpIndex(VorlaneParameters* params, void* ref, uint8_t kind, uint16_t index) {
  auto fn = VORL_SERVICE(GetPropertyHelpIndex);
  return fn != nullptr ? fn(ref, kind, index) : -1;
}

uint16_t AddOutputProperty(VorlaneParameters* params, void* ref, uint32_t newID, uint32_t templateID,
                           const char* name, uint32_t typeCode1, uint32_t typeCode2,
                           Value* minimum, Value* maximum, Value* defaultValue) {
  auto fn = VORL_SERVICE(AddOutputProperty);
  if (fn == nullptr) return kVorlServiceMissing;
  return fn(ref, kKindOutput, newID, templateID, name, 0, typeCode1, typeCode2, 255, minimum,
            maximum, defaultValue, 0, 0, 0);
}

uint16_t RemoveOutputProperty(VorlaneParameters* params, void* ref, uint16_t index) {
  auto fn = VORL_SERVICE(RemoveOutputProperty);
  return fn != nullptr ? fn(ref, kKindOutput, index) : kVorlServiceMissing;
}

uint16_t GetPropertyCount(VorlaneParameters* params, void* ref, uint8_t kind, uint32_t* count) {
  auto fn = VORL_SERVICE(GetPropertyCount);
  return fn != nullptr ? fn(ref, kind, count) : kVorlServiceMissing;
}

void* AllocateMemory(VorlaneParameters* params, uint64_t size, uint32_t zeroFill) {
  auto fn = VORL_SERVICE(AllocateMemory);
  return fn != nullptr ? fn(size, zeroFill) : nullptr;
}

uint16_t FreeMemory(VorlaneParameters* params, void* block) {
  auto fn = VORL_SERVICE(FreeMemory);
  return fn != nullptr ? fn(block) : kVorlServiceMissing;
}

int32_t FindStringInList(VorlaneParameters* params, uint32_t count, const char* const* strings,
                         const char* text) {
  auto fn = VORL_SERVICE(FindStringInList);
  return fn != nullptr ? fn(count, strings, text) : -1;
}

void AssertionFailed(VorlaneParameters* params, const char* condition, const char* actorName,
                     int32_t line) {
  auto fn = VORL_SERVICE(AssertionFailed);
  if (fn != nullptr) fn(condition, actorName, line);
}

void LoadActorPicture(VorlaneParameters* params, ActorInfo* info, PictInfo* pict) {
  auto fn = VORL_SERVICE(LoadActorPicture);
  if (fn != nullptr) fn(info, 0, pict);
}

void DrawActorPicture(VorlaneParameters* params, ActorInfo* info, uint8_t state, Rect* area,
                      PictInfo* pict) {
  auto fn = VORL_SERVICE(DrawActorPicture);
  if (fn != nullptr) fn(info, state, area, pict);
}

void* BeginVideoRender(VorlaneParameters* params, void* actorData, uint32_t kind, uint16_t arg,
                       const uint8_t* data) {
  auto fn = VORL_SERVICE(BeginVideoRender);
  return fn != nullptr ? fn(actorData, kind, arg, data) : nullptr;
}

intptr_t EndVideoRender(VorlaneParameters* params, void* token) {
  auto fn = VORL_SERVICE(EndVideoRender);
  return fn != nullptr ? fn(token) : 0;
}

uint16_t GetPropertyTypeCodes(VorlaneParameters* params, void* ref, uint8_t kind, uint16_t index,
                              uint32_t* code1, uint32_t* code2) {
  auto fn = VORL_SERVICE(GetPropertyTypeCodes);
  return fn != nullptr ? fn(ref, kind, index, code1, code2) : kVorlServiceMissing;
}

uint16_t MakeStringValue(VorlaneParameters* params, const char* text, Value* value) {
  auto fn = VORL_SERVICE(MakeStringValue);
  return fn != nullptr ? fn(text, value) : kVorlServiceMissing;
}

void ReleaseValue(VorlaneParameters* params, Value* value) {
  auto fn = VORL_SERVICE(ReleaseValue);
  if (fn != nullptr) fn(value);
}

uint16_t SetPropertyDisplayName(VorlaneParameters* params, void* ref, uint8_t kind, uint16_t index,
                                const char* name) {
  auto fn = VORL_SERVICE(SetPropertyDisplayName);
  return fn != nullptr ? fn(ref, kind, index, name) : kVorlServiceMissing;
}

void* CreateImageBuffer(VorlaneParameters* params, void* ref, int32_t context, int32_t width,
                        int32_t height, uint32_t flags) {
  auto fn = VORL_SERVICE(CreateImageBuffer);
  return fn != nullptr ? fn(ref, context, width, height, flags, 0) : nullptr;
}

void DisposeImageBuffer(VorlaneParameters* params, void* ref, void* buffer) {
  auto fn = VORL_SERVICE(DisposeImageBuffer);
  if (fn != nullptr) fn(ref, buffer);
}

int32_t BeginImageBufferDraw(VorlaneParameters* params, void* ref, void* buffer, uint8_t arg) {
  auto fn = VORL_SERVICE(BeginImageBufferDraw);
  return fn != nullptr ? fn(ref, buffer, arg) : 0;
}

void* EndImageBufferDraw(VorlaneParameters* params, void* ref, void* buffer) {
  auto fn = VORL_SERVICE(EndImageBufferDraw);
  return fn != nullptr ? fn(ref, buffer) : nullptr;
}

uint16_t GetPropertyDisplayName(VorlaneParameters* params, void* ref, uint8_t kind, uint16_t index,
                                char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return kVorlServiceMissing;
  buffer[0] = 0;
  auto fn = VORL_SERVICE(GetPropertyDisplayName);
  if (fn == nullptr) return kVorlServiceMissing;
  const uint16_t err = fn(ref, kind, index, buffer, size);
  buffer[size - 1] = 0;  // a careless host must not leave us unterminated
  return err;
}

}  // namespace Host
