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
// host refuses such a call and returns the neutral result. "ref" is the actor
// reference at byte 40 of ActorInfo, kinds are 1 input / 2 output and indexes
// are 1-based.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/vorlane_types.h"

// Returned by wrappers when the service slot is empty.
inline constexpr uint16_t kVorlServiceMissing = 0xFFFF;

namespace HostServiceOffset {
inline constexpr size_t kRegisterMessageReceiver = 0x008;
inline constexpr size_t kUnregisterMessageReceiver = 0x010;
inline constexpr size_t kGetInputPropertyValue = 0x030;
inline constexpr size_t kSetOutputPropertyValue = 0x038;
inline constexpr size_t kReleaseVideoHandle = 0x098;
inline constexpr size_t kGetPropertyHelpIndex = 0x0b8;
inline constexpr size_t kAddOutputProperty = 0x0c0;
inline constexpr size_t kRemoveOutputProperty = 0x0c8;
inline constexpr size_t kGetPropertyCount = 0x0d0;
inline constexpr size_t kAllocateMemory = 0x118;
inline constexpr size_t kFreeMemory = 0x120;
inline constexpr size_t kFindStringInList = 0x128;
inline constexpr size_t kAssertionFailed = 0x160;
inline constexpr size_t kLoadActorPicture = 0x168;
inline constexpr size_t kDrawActorPicture = 0x170;
inline constexpr size_t kBeginVideoRender = 0x190;
inline constexpr size_t kEndVideoRender = 0x198;
inline constexpr size_t kGetPropertyTypeCodes = 0x1c8;
inline constexpr size_t kMakeStringValue = 0x310;
inline constexpr size_t kReleaseValue = 0x318;
inline constexpr size_t kSetPropertyDisplayName = 0x510;
inline constexpr size_t kCreateImageBuffer = 0x640;
inline constexpr size_t kDisposeImageBuffer = 0x648;
inline constexpr size_t kBeginImageBufferDraw = 0x658;
inline constexpr size_t kEndImageBufferDraw = 0x660;
inline constexpr size_t kGetPropertyDisplayName = 0x670;
// One past the last slot: a table must hold at least this many bytes.
inline constexpr size_t kTableSize = 0x678;
}  // namespace HostServiceOffset

// The C signatures of the services, as the host implements them.
namespace HostServiceProc {
using RegisterMessageReceiver = void* (*)(MessageReceiverProc receiver, uintptr_t zero1,
                                          uint32_t kindMask, ActorInfo* info, uintptr_t zero2,
                                          void* refcon);
using UnregisterMessageReceiver = void (*)(void* handle);
using GetInputPropertyValue = Value* (*)(void* ref, uint16_t index);
using SetOutputPropertyValue = uint16_t (*)(void* ref, uint16_t index, Value* value);
using ReleaseVideoHandle = void (*)(void* handle);
using GetPropertyHelpIndex = int32_t (*)(void* ref, uint8_t kind, uint16_t index);
using AddOutputProperty = uint16_t (*)(void* ref, uint8_t kind, uint32_t newID, uint32_t templateID,
                                       const char* name, uint32_t zero1, uint32_t typeCode1,
                                       uint32_t typeCode2, uint32_t flags255, Value* minimum,
                                       Value* maximum, Value* defaultValue, uint32_t zero2,
                                       uint32_t zero3, uint32_t zero4);
using RemoveOutputProperty = uint16_t (*)(void* ref, uint8_t kind, uint16_t index);
using GetPropertyCount = uint16_t (*)(void* ref, uint8_t kind, uint32_t* count);
using AllocateMemory = void* (*)(uint64_t size, uint32_t zeroFill);
using FreeMemory = uint16_t (*)(void* block);
using FindStringInList = int32_t (*)(uint32_t count, const char* const* strings, const char* text);
using AssertionFailed = void (*)(const char* condition, const char* actorName, int32_t line);
using LoadActorPicture = void (*)(ActorInfo* info, uint32_t zero, PictInfo* pict);
using DrawActorPicture = void (*)(ActorInfo* info, uint8_t state, Rect* area, PictInfo* pict);
using BeginVideoRender = void* (*)(void* actorData, uint32_t kind, uint16_t arg, const uint8_t* data);
using EndVideoRender = intptr_t (*)(void* token);
using GetPropertyTypeCodes = uint16_t (*)(void* ref, uint8_t kind, uint16_t index, uint32_t* code1,
                                          uint32_t* code2);
using MakeStringValue = uint16_t (*)(const char* text, Value* value);
using ReleaseValue = void (*)(Value* value);
using SetPropertyDisplayName = uint16_t (*)(void* ref, uint8_t kind, uint16_t index, const char* name);
using CreateImageBuffer = void* (*)(void* ref, int32_t context, int32_t width, int32_t height,
                                    uint32_t flags, uint32_t zero);
using DisposeImageBuffer = void (*)(void* ref, void* buffer);
using BeginImageBufferDraw = int32_t (*)(void* ref, void* buffer, uint8_t arg);
using EndImageBufferDraw = void* (*)(void* ref, void* buffer);
using GetPropertyDisplayName = uint16_t (*)(void* ref, uint8_t kind, uint16_t index, char* buffer,
                                            uint32_t size);
}  // namespace HostServiceProc

namespace Host {

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
uint16_t AddOutputProperty(VorlaneParameters* params, void* ref, uint32_t newID, uint32_t templateID,
                           const char* name, uint32_t typeCode1, uint32_t typeCode2,
                           Value* minimum, Value* maximum, Value* defaultValue);
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
