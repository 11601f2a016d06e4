// Every service of the host's table, declared once. Plug-ins and hosts both
// build on this list: the framework makes its offsets, function types and
// calls from it, the stand-in host its function types and slot table.
// Depends on nothing.
//
// The table is an array of 8-byte function pointers that plug-ins reach
// through byte 16 of VorlaneParameters; each service sits at a fixed byte
// offset and every other slot is null. One row per service:
//
//   X(offset, Name, result type, (C parameters), rule, part, empty-slot result)
//
//   rule    where and when a plug-in may call it (EHostServiceRule):
//           kMainThread          on the thread that calls the entry points;
//           kMainThreadCreated   ... between CreateActor and DisposeActor of
//                                the instance it names;
//           kMainThreadActive    ... between ActivateActor(1) and
//                                ActivateActor(0).
//           No service may be called from a thread of the plug-in's own.
//   part    which part of a host does the work (a host maps the word to
//           one of its own types; plug-ins ignore it).
//   result  what a caller gets when the slot is empty or the host has
//           nothing to act on. Services that answer an error code (uint16_t)
//           give 0xFFFF for an empty slot; a host answers its own codes.
//
// Adding a service: one row here, at its offset, and its handler on the
// part named in the row (a member function named as the service, taking
// exactly the C parameters; a static one when it needs no host state).
//
// Thread-safety: declarations only.
#pragma once

#include <cstddef>
#include <cstdint>

struct ActorInfo;
struct VorlaneParameters;
struct Value;
struct Rect;
struct PictInfo;

// A message receiver, as RegisterMessageReceiver takes it. Returns the
// host's pointer-sized result.
using MessageReceiverProc = intptr_t (*)(VorlaneParameters* params, uint32_t kind, uint16_t arg,
                                         const uint8_t* data, uint32_t length, void* refcon);

enum class EHostServiceRule : uint8_t { kMainThread, kMainThreadCreated, kMainThreadActive };

// clang-format off
#define VORL_HOST_SERVICES(X) \
  X(0x008, RegisterMessageReceiver, void*, (MessageReceiverProc receiver, uintptr_t zero1, uint32_t kindMask, ActorInfo* info, uintptr_t zero2, void* refcon), kMainThreadActive, Messages, nullptr) \
  X(0x010, UnregisterMessageReceiver, void, (void* handle), kMainThreadCreated, Messages, 0) \
  X(0x030, GetInputPropertyValue, Value*, (void* ref, uint16_t index), kMainThreadCreated, Properties, nullptr) \
  X(0x038, SetOutputPropertyValue, uint16_t, (void* ref, uint16_t index, Value* value), kMainThreadCreated, Properties, 0xFFFF) \
  X(0x098, ReleaseVideoHandle, void, (void* handle), kMainThreadCreated, Video, 0) \
  X(0x0b8, GetPropertyHelpIndex, int32_t, (void* ref, uint8_t kind, uint16_t index), kMainThreadCreated, Properties, -1) \
  X(0x0c0, AddOutputProperty, uint16_t, (void* ref, uint8_t kind, uint32_t newID, uint32_t templateID, const char* name, uint32_t zero1, uint32_t typeCode1, uint32_t typeCode2, uint32_t flags255, Value* minimum, Value* maximum, Value* defaultValue, uint32_t zero2, uint32_t zero3, uint32_t zero4), kMainThreadCreated, Properties, 0xFFFF) \
  X(0x0c8, RemoveOutputProperty, uint16_t, (void* ref, uint8_t kind, uint16_t index), kMainThreadCreated, Properties, 0xFFFF) \
  X(0x0d0, GetPropertyCount, uint16_t, (void* ref, uint8_t kind, uint32_t* count), kMainThreadCreated, Properties, 0xFFFF) \
  X(0x118, AllocateMemory, void*, (uint64_t size, uint32_t zeroFill), kMainThread, Memory, nullptr) \
  X(0x120, FreeMemory, uint16_t, (void* block), kMainThread, Memory, 0xFFFF) \
  X(0x128, FindStringInList, int32_t, (uint32_t count, const char* const* strings, const char* text), kMainThread, Strings, -1) \
  X(0x160, AssertionFailed, void, (const char* condition, const char* actorName, int32_t line), kMainThread, Assertions, 0) \
  X(0x168, LoadActorPicture, void, (ActorInfo* info, uint32_t zero, PictInfo* pict), kMainThread, Pictures, 0) \
  X(0x170, DrawActorPicture, void, (ActorInfo* info, uint8_t state, Rect* area, PictInfo* pict), kMainThread, Pictures, 0) \
  X(0x190, BeginVideoRender, void*, (void* actorData, uint32_t kind, uint16_t arg, const uint8_t* data), kMainThreadActive, Video, nullptr) \
  X(0x198, EndVideoRender, intptr_t, (void* token), kMainThreadActive, Video, 0) \
  X(0x1c8, GetPropertyTypeCodes, uint16_t, (void* ref, uint8_t kind, uint16_t index, uint32_t* code1, uint32_t* code2), kMainThreadCreated, Properties, 0xFFFF) \
  X(0x310, MakeStringValue, uint16_t, (const char* text, Value* value), kMainThread, Strings, 0xFFFF) \
  X(0x318, ReleaseValue, void, (Value* value), kMainThread, Strings, 0) \
  X(0x510, SetPropertyDisplayName, uint16_t, (void* ref, uint8_t kind, uint16_t index, const char* name), kMainThreadCreated, Properties, 0xFFFF) \
  X(0x640, CreateImageBuffer, void*, (void* ref, int32_t context, int32_t width, int32_t height, uint32_t flags, uint32_t zero), kMainThreadCreated, Video, nullptr) \
  X(0x648, DisposeImageBuffer, void, (void* ref, void* buffer), kMainThreadCreated, Video, 0) \
  X(0x658, BeginImageBufferDraw, int32_t, (void* ref, void* buffer, uint8_t arg), kMainThreadCreated, Video, 0) \
  X(0x660, EndImageBufferDraw, void*, (void* ref, void* buffer), kMainThreadCreated, Video, nullptr) \
  X(0x670, GetPropertyDisplayName, uint16_t, (void* ref, uint8_t kind, uint16_t index, char* buffer, uint32_t size), kMainThreadCreated, Properties, 0xFFFF)
// clang-format on

// One type per service: its offset, C function type, rule, name and
// empty-slot result, for code that handles services generically.
namespace HostService {

#define VORL_HOST_SERVICE_TRAITS(kOffsetValue, name, R, params, rule, part, neutral) \
  struct name {                                                                      \
    static constexpr size_t kOffset = kOffsetValue;                                  \
    using Proc = R(*) params;                                                        \
    using Result = R;                                                                \
    static constexpr EHostServiceRule kRule = EHostServiceRule::rule;                \
    static constexpr const char* kName = #name;                                      \
    static R EmptySlotResult() { return static_cast<R>(neutral); }                   \
  };
VORL_HOST_SERVICES(VORL_HOST_SERVICE_TRAITS)
#undef VORL_HOST_SERVICE_TRAITS

inline constexpr size_t kOffsets[] = {
#define VORL_HOST_SERVICE_OFFSET(kOffsetValue, ...) kOffsetValue,
    VORL_HOST_SERVICES(VORL_HOST_SERVICE_OFFSET)
#undef VORL_HOST_SERVICE_OFFSET
};

// One past the last slot: a table must hold at least this many bytes.
constexpr size_t TableSize() {
  size_t end = 0;
  for (size_t offset : kOffsets) end = offset + 8 > end ? offset + 8 : end;
  return end;
}
inline constexpr size_t kTableSize = TableSize();

// True while the rows stay in offset order, each at its own 8-byte slot.
constexpr bool OffsetsAscend() {
  size_t next = 0;  // the lowest offset the next row may have
  for (size_t offset : kOffsets) {
    if (offset % 8 != 0 || offset < next) return false;
    next = offset + 8;
  }
  return true;
}
static_assert(OffsetsAscend(), "service offsets must ascend, one 8-byte slot each");

}  // namespace HostService
