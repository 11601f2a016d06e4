// The C function types through which the host and a plug-in call each other.
//
// The record types are only declared here, never defined: the host reads them
// as bytes (record_layout.h). They carry the same global names as the plug-ins'
// own declarations on purpose, so that every function type below is exactly
// the type the plug-in's function has; sanitizers that check the type of an
// indirect call then see the real contract.
//
// Thread-safety: declarations only.
#pragma once

#include <cstdint>

struct ActorInfo;
struct VorlaneParameters;
struct Value;
struct Rect;
struct PictInfo;

namespace vhost {

// The one export of a plug-in file. The first argument is not used.
using GetActorInfoFn = void (*)(void* unused, ActorInfo* info);

// Entry points found in ActorInfo after registration. All [main thread].
using GetParameterStringFn = const char* (*)(VorlaneParameters*, ActorInfo*);
using GetHelpStringFn = void (*)(VorlaneParameters*, ActorInfo*, uint8_t kind, uint16_t index,
                                 char* buffer, uint32_t size);
using CreateActorFn = void (*)(VorlaneParameters*, ActorInfo*);
using DisposeActorFn = uint16_t (*)(VorlaneParameters*, ActorInfo*);
using ActivateActorFn = void (*)(VorlaneParameters*, ActorInfo*, uint8_t active);
using HandlePropertyChangeValueFn = void (*)(VorlaneParameters*, ActorInfo*, uint16_t index,
                                             Value* oldValue, Value* value, uint8_t flag);
using PropertyValueToStringFn = uint8_t (*)(VorlaneParameters*, ActorInfo*, uint8_t kind,
                                            uint16_t index, Value* value, char* text);
using PropertyStringToValueFn = uint8_t (*)(VorlaneParameters*, ActorInfo*, uint8_t kind,
                                            uint16_t index, const char* text, Value* value);
using GetActorDefinedAreaFn = uint8_t (*)(VorlaneParameters*, ActorInfo*, int16_t* width,
                                          int16_t* height, int16_t* third, int16_t* fourth);
using DrawActorDefinedAreaFn = void (*)(VorlaneParameters*, ActorInfo*, void* context,
                                        uint16_t part, uint16_t second, Rect* area, Rect* other,
                                        uint8_t state);
// A registered message receiver; its result is the host's. [main thread]
using MessageReceiverFn = intptr_t (*)(VorlaneParameters*, uint32_t kind, uint16_t arg,
                                       const uint8_t* data, uint32_t length, void* refcon);

// The services of the host's table, as the plug-ins call them.
namespace service {
using RegisterMessageReceiver = void* (*)(MessageReceiverFn receiver, uintptr_t zero1,
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
}  // namespace service

// Error codes the host's services return (0 = no error).
inline constexpr uint16_t kNoError = 0;
inline constexpr uint16_t kErrUnknownActor = 1;     // ref is not a live instance of this host
inline constexpr uint16_t kErrBadKind = 2;          // kind is not 1 or 2 (or not allowed)
inline constexpr uint16_t kErrBadIndex = 3;         // no property with that index
inline constexpr uint16_t kErrBadArgument = 4;      // a required pointer is null
inline constexpr uint16_t kErrDuplicateID = 5;      // an output with that ID exists
inline constexpr uint16_t kErrUnknownTypeCode = 6;  // type codes this host never handed out
inline constexpr uint16_t kErrSwitchedOff = 7;      // a test switch makes the service fail
inline constexpr uint16_t kErrWrongThread = 8;      // called off the host's main thread
inline constexpr uint16_t kErrNoHost = 9;           // no host is driving plug-ins right now

}  // namespace vhost
