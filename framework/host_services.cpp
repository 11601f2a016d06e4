#include "framework/host_services.h"

namespace Host {

void* RegisterMessageReceiver(VorlaneParameters* params, MessageReceiverProc receiver,
                              uint32_t kindMask, ActorInfo* info, void* refcon) {
  return Call<HostService::RegisterMessageReceiver>(params, receiver, 0, kindMask, info, 0, refcon);
}

void UnregisterMessageReceiver(VorlaneParameters* params, void* handle) {
  if (handle != nullptr) Call<HostService::UnregisterMessageReceiver>(params, handle);
}

Value* GetInputPropertyValue(VorlaneParameters* params, void* ref, uint16_t index) {
  return Call<HostService::GetInputPropertyValue>(params, ref, index);
}

uint16_t SetOutputPropertyValue(VorlaneParameters* params, void* ref, uint16_t index,
                                Value* value) {
  return Call<HostService::SetOutputPropertyValue>(params, ref, index, value);
}

void ReleaseVideoHandle(VorlaneParameters* params, void* handle) {
  Call<HostService::ReleaseVideoHandle>(params, handle);
}

int32_t GetPropertyHelpIndex(VorlaneParameters* params, void* ref, uint8_t kind, uint16_t index) {
  return Call<HostService::GetPropertyHelpIndex>(params, ref, kind, index);
}

uint16_t AddOutputProperty(VorlaneParameters* params, void* ref, uint32_t newID,
                           uint32_t templateID, const char* name, uint32_t typeCode1,
                           uint32_t typeCode2, Value* minimum, Value* maximum,
                           Value* defaultValue) {
  return Call<HostService::AddOutputProperty>(params, ref, kKindOutput, newID, templateID, name, 0,
                                              typeCode1, typeCode2, 255, minimum, maximum,
                                              defaultValue, 0, 0, 0);
}

uint16_t RemoveOutputProperty(VorlaneParameters* params, void* ref, uint16_t index) {
  return Call<HostService::RemoveOutputProperty>(params, ref, kKindOutput, index);
}

uint16_t GetPropertyCount(VorlaneParameters* params, void* ref, uint8_t kind, uint32_t* count) {
  return Call<HostService::GetPropertyCount>(params, ref, kind, count);
}

void* AllocateMemory(VorlaneParameters* params, uint64_t size, uint32_t zeroFill) {
  return Call<HostService::AllocateMemory>(params, size, zeroFill);
}

uint16_t FreeMemory(VorlaneParameters* params, void* block) {
  return Call<HostService::FreeMemory>(params, block);
}

int32_t FindStringInList(VorlaneParameters* params, uint32_t count, const char* const* strings,
                         const char* text) {
  return Call<HostService::FindStringInList>(params, count, strings, text);
}

void AssertionFailed(VorlaneParameters* params, const char* condition, const char* actorName,
                     int32_t line) {
  Call<HostService::AssertionFailed>(params, condition, actorName, line);
}

void LoadActorPicture(VorlaneParameters* params, ActorInfo* info, PictInfo* pict) {
  Call<HostService::LoadActorPicture>(params, info, 0, pict);
}

void DrawActorPicture(VorlaneParameters* params, ActorInfo* info, uint8_t state, Rect* area,
                      PictInfo* pict) {
  Call<HostService::DrawActorPicture>(params, info, state, area, pict);
}

void* BeginVideoRender(VorlaneParameters* params, void* actorData, uint32_t kind, uint16_t arg,
                       const uint8_t* data) {
  return Call<HostService::BeginVideoRender>(params, actorData, kind, arg, data);
}

intptr_t EndVideoRender(VorlaneParameters* params, void* token) {
  return Call<HostService::EndVideoRender>(params, token);
}

uint16_t GetPropertyTypeCodes(VorlaneParameters* params, void* ref, uint8_t kind, uint16_t index,
                              uint32_t* code1, uint32_t* code2) {
  return Call<HostService::GetPropertyTypeCodes>(params, ref, kind, index, code1, code2);
}

uint16_t MakeStringValue(VorlaneParameters* params, const char* text, Value* value) {
  return Call<HostService::MakeStringValue>(params, text, value);
}

void ReleaseValue(VorlaneParameters* params, Value* value) {
  Call<HostService::ReleaseValue>(params, value);
}

uint16_t SetPropertyDisplayName(VorlaneParameters* params, void* ref, uint8_t kind, uint16_t index,
                                const char* name) {
  return Call<HostService::SetPropertyDisplayName>(params, ref, kind, index, name);
}

void* CreateImageBuffer(VorlaneParameters* params, void* ref, int32_t context, int32_t width,
                        int32_t height, uint32_t flags) {
  return Call<HostService::CreateImageBuffer>(params, ref, context, width, height, flags, 0);
}

void DisposeImageBuffer(VorlaneParameters* params, void* ref, void* buffer) {
  Call<HostService::DisposeImageBuffer>(params, ref, buffer);
}

int32_t BeginImageBufferDraw(VorlaneParameters* params, void* ref, void* buffer, uint8_t arg) {
  return Call<HostService::BeginImageBufferDraw>(params, ref, buffer, arg);
}

void* EndImageBufferDraw(VorlaneParameters* params, void* ref, void* buffer) {
  return Call<HostService::EndImageBufferDraw>(params, ref, buffer);
}

uint16_t GetPropertyDisplayName(VorlaneParameters* params, void* ref, uint8_t kind, uint16_t index,
                                char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return kVorlServiceMissing;
  buffer[0] = 0;
  const uint16_t err =
      Call<HostService::GetPropertyDisplayName>(params, ref, kind, index, buffer, size);
  buffer[size - 1] = 0;  // a careless host must not leave us unterminated
  return err;
}

}  // namespace Host
