// The C function types through which the host and a plug-in call each other.
//
// The record types are only declared (with the service list), never defined:
// the host reads them as bytes (record_layout.h). They carry the same global names as the plug-ins'
// own declarations on purpose, so that every function type below is exactly
// the type the plug-in's function has; sanitizers that check the type of an
// indirect call then see the real contract.
//
// Thread-safety: declarations only.
#pragma once

#include <cstdint>

#include "contract/host_service_list.h"

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
using MessageReceiverFn = ::MessageReceiverProc;

// The services of the host's table, as the plug-ins call them (one type
// per row of the service list).
namespace service {
#define VORL_SERVICE_PROC(offset, name, ...) using name = HostService::name::Proc;
VORL_HOST_SERVICES(VORL_SERVICE_PROC)
#undef VORL_SERVICE_PROC
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
