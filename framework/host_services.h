// Typed access to the host's service table.
//
// VorlaneParameters::mServiceTable is an array of 8-byte function pointers;
// each service lives at a fixed byte offset. The wrappers below call the
// service at its slot and never crash on a missing table or an empty slot:
// they return the neutral result written next to each (null, 0, an error).
//
// Each wrapper says at its declaration on which thread and in which state of
// the instance it may be called ("[main thread & created]": between
// CreateActor and DisposeActor; "[main thread & active]": between
// ActivateActor(1) and ActivateActor(0)), and how long what it returns stays
// valid. No service may be called from a thread of the plug-in's own: the
// host refuses such a call and returns the neutral result. The one list of
// services (contract/host_service_list.h) holds each one's offset, C
// signature and rule; Host::Call reaches any of them. "ref" is the actor
// reference at byte 40 of ActorInfo, kinds are 1 input / 2 output and indexes
// are 1-based.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "contract/host_service_list.h"
#include "framework/vorlane_types.h"

// Returned by wrappers when the service slot is empty.
inline constexpr uint16_t kVorlServiceMissing = 0xFFFF;

// Byte offsets of the services in the table, from the one list.
namespace HostServiceOffset {
#define VORL_SERVICE_OFFSET(offset, name, ...) inline constexpr size_t k##name = offset;
VORL_HOST_SERVICES(VORL_SERVICE_OFFSET)
#undef VORL_SERVICE_OFFSET
inline constexpr size_t kTableSize = HostService::kTableSize;
}  // namespace HostServiceOffset

// The C signatures of the services, as the host implements them.
namespace HostServiceProc {
#define VORL_SERVICE_PROC(offset, name, ...) using name = HostService::name::Proc;
VORL_HOST_SERVICES(VORL_SERVICE_PROC)
#undef VORL_SERVICE_PROC
}  // namespace HostServiceProc

namespace Host {

// The function in the slot of service `S` (a HostService:: type), or null
// when there is no table or the slot is empty.
template <class S>
typename S::Proc ServiceSlot(const VorlaneParameters* params) {
  if (params == nullptr || params->mServiceTable == nullptr) return nullptr;
  void* slot = nullptr;
  std::memcpy(&slot, reinterpret_cast<const char*>(params->mServiceTable) + S::kOffset,
              sizeof(slot));
  return reinterpret_cast<typename S::Proc>(slot);
}

// Calls service `S` with exactly its C arguments; the empty-slot result of
// the list when the slot is empty. Every service can be called this way;
// the wrappers below add defaults for the constant arguments.
template <class S, class... Args>
typename S::Result Call(VorlaneParameters* params, Args... args) {
  const auto fn = ServiceSlot<S>(params);
  if (fn == nullptr) return S::EmptySlotResult();
  return fn(args...);
}

// The actor reference of an instance (byte 40 of ActorInfo); null for null.
inline void* ActorRef(const ActorInfo* info) { return info != nullptr ? info->mActorRef : nullptr; }

// Registers `receiver` for messages whose kind has a bit of `kindMask`; the
// receiver is then called with `refcon`. Returns the handle, null if none;
// the handle stays valid until UnregisterMessageReceiver, which must come
// before the instance is deactivated. [main thread & active]
void* RegisterMessageReceiver(VorlaneParameters* params, MessageReceiverProc receiver,
                              uint32_t kindMask, ActorInfo* info, void* refcon);
// No call of the receiver follows. A null handle is ignored.
// [main thread & created]
void UnregisterMessageReceiver(VorlaneParameters* params, void* handle);
// The current value of an input, owned by the host; null when there is none.
// Valid until the input changes again (the next HandlePropertyChangeValue for
// it has returned) or the instance is disposed; copy what must last longer.
// [main thread & created]
Value* GetInputPropertyValue(VorlaneParameters* params, void* ref, uint16_t index);
// Sends `value` on an output; the host has taken it when this returns (a
// string may be released at once). Wired inputs hear of it before it
// returns. [main thread & created]
uint16_t SetOutputPropertyValue(VorlaneParameters* params, void* ref, uint16_t index, Value* value);
// [main thread & created]
void ReleaseVideoHandle(VorlaneParameters* params, void* handle);
// Index into the plug-in's help table for a property (kind 0: the actor).
// -1 when the host has no answer. [main thread & created]
int32_t GetPropertyHelpIndex(VorlaneParameters* params, void* ref, uint8_t kind, uint16_t index);
// Appends an output property. 0 on success. [main thread & created]
uint16_t AddOutputProperty(VorlaneParameters* params, void* ref, uint32_t newID,
                           uint32_t templateID, const char* name, uint32_t typeCode1,
                           uint32_t typeCode2, Value* minimum, Value* maximum, Value* defaultValue);
// Removes output `index`; later outputs move down by one. 0 on success.
// [main thread & created]
uint16_t RemoveOutputProperty(VorlaneParameters* params, void* ref, uint16_t index);
// [main thread & created]
uint16_t GetPropertyCount(VorlaneParameters* params, void* ref, uint8_t kind, uint32_t* count);
// Zero-filled when `zeroFill` is 1. Null on failure. The block stays valid
// until FreeMemory; free every block before the last DisposeActor returns.
// [main thread, any state]
void* AllocateMemory(VorlaneParameters* params, uint64_t size, uint32_t zeroFill);
// [main thread, any state]
uint16_t FreeMemory(VorlaneParameters* params, void* block);
// Index of `text` among `strings`, negative when absent or unanswered.
// [main thread, any state]
int32_t FindStringInList(VorlaneParameters* params, uint32_t count, const char* const* strings,
                         const char* text);
// The host copies both texts before returning. [main thread, any state]
void AssertionFailed(VorlaneParameters* params, const char* condition, const char* actorName,
                     int32_t line);
// [main thread, any state]
void LoadActorPicture(VorlaneParameters* params, ActorInfo* info, PictInfo* pict);
// Only inside DrawActorDefinedArea. [main thread, any state]
void DrawActorPicture(VorlaneParameters* params, ActorInfo* info, uint8_t state, Rect* area,
                      PictInfo* pict);
// Brackets a render request; the token goes to EndVideoRender, whose result
// the message receiver returns. The token is valid only until the receiver
// that began the bracket returns: end it there. [main thread & active]
void* BeginVideoRender(VorlaneParameters* params, void* actorData, uint32_t kind, uint16_t arg,
                       const uint8_t* data);
// [main thread & active]
intptr_t EndVideoRender(VorlaneParameters* params, void* token);
// [main thread & created]
uint16_t GetPropertyTypeCodes(VorlaneParameters* params, void* ref, uint8_t kind, uint16_t index,
                              uint32_t* code1, uint32_t* code2);
// Makes a string Value owned by the host; it stays valid until ReleaseValue,
// which must come before the last DisposeActor returns. [main thread, any state]
uint16_t MakeStringValue(VorlaneParameters* params, const char* text, Value* value);
// Nulls the string pointer of `value`. [main thread, any state]
void ReleaseValue(VorlaneParameters* params, Value* value);
// The host copies the name. [main thread & created]
uint16_t SetPropertyDisplayName(VorlaneParameters* params, void* ref, uint8_t kind, uint16_t index,
                                const char* name);
// Image buffers belong to the host; each one made stays valid until
// DisposeImageBuffer, which must come before the instance is disposed.
// [main thread & created]
void* CreateImageBuffer(VorlaneParameters* params, void* ref, int32_t context, int32_t width,
                        int32_t height, uint32_t flags);
// [main thread & created]
void DisposeImageBuffer(VorlaneParameters* params, void* ref, void* buffer);
// Makes the buffer the drawing target; 0 when it cannot. [main thread & created]
int32_t BeginImageBufferDraw(VorlaneParameters* params, void* ref, void* buffer, uint8_t arg);
// Ends drawing; returns the video frame made from the buffer, or null. The
// frame belongs to the buffer and stays valid until the buffer is disposed.
// [main thread & created]
void* EndImageBufferDraw(VorlaneParameters* params, void* ref, void* buffer);
// Writes the output's current name (NUL-terminated, at most size - 1 chars);
// on any failure the buffer holds an empty text. [main thread & created]
uint16_t GetPropertyDisplayName(VorlaneParameters* params, void* ref, uint8_t kind, uint16_t index,
                                char* buffer, uint32_t size);

}  // namespace Host
