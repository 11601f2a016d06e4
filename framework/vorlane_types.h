// The records and entry-point types shared with the Vorlane host.
//
// Every offset asserted here is part of the host's binary contract; a record
// laid out differently is silently misread by the host, so each one is pinned.
// All of this must stay valid C-compatible layout: no virtuals, no non-trivial
// members.
#pragma once

#include <cstddef>
#include <cstdint>

#include "contract/host_service_list.h"

struct ActorInfo;
struct VorlaneParameters;

inline constexpr uint16_t kVorlNoError = 0;

// Property kinds as the host numbers them.
inline constexpr uint8_t kKindActor = 0;
inline constexpr uint8_t kKindInput = 1;
inline constexpr uint8_t kKindOutput = 2;

// Value type tags.
inline constexpr uint16_t kValueTypeInteger = 2;
inline constexpr uint16_t kValueTypeFloat = 3;    // payload is a double
inline constexpr uint16_t kValueTypeData = 5;     // payload is a pointer, may be null
inline constexpr uint16_t kValueTypeString = 6;   // payload is a HostString*, may be null

// A host string: its NUL-terminated characters start 8 bytes in. The host owns
// it; a plug-in reads it only while the Value holding it is valid.
struct HostString {
  uint8_t mHeader[8];
  char mText[1];
};
static_assert(offsetof(HostString, mText) == 8);

struct Value {
  uint16_t mType;
  uint8_t mReserved[6];
  union {
    int64_t mInteger;
    double mFloat;
    void* mData;
    HostString* mString;
    uint64_t mBits;
  };
};
static_assert(sizeof(Value) == 16);
static_assert(offsetof(Value, mType) == 0);
static_assert(offsetof(Value, mInteger) == 8);

// Host rectangle, passed through untouched.
struct Rect {
  int16_t mTop;
  int16_t mLeft;
  int16_t mBottom;
  int16_t mRight;
};

// The actor picture record filled by the host's LoadActorPicture.
struct PictInfo {
  uint8_t mLoaded;         // 1 once loaded
  uint8_t mReserved1[23];
  uint16_t mWidth;
  uint16_t mHeight;
  uint8_t mReserved28[4];
};
static_assert(sizeof(PictInfo) == 32);
static_assert(offsetof(PictInfo, mWidth) == 24);
static_assert(offsetof(PictInfo, mHeight) == 26);

// The host context, first argument of every entry point.
struct VorlaneParameters {
  uint8_t mReserved[16];
  void* const* mServiceTable;  // array of 8-byte function pointers
};
static_assert(offsetof(VorlaneParameters, mServiceTable) == 16);

// MessageReceiverProc, the receiver RegisterMessageReceiver takes, is
// declared with the list of services (contract/host_service_list.h).

// Entry points written into ActorInfo by GetActorInfo. All [main thread].
using GetParameterStringProc = const char* (*)(VorlaneParameters*, ActorInfo*);
using GetHelpStringProc = void (*)(VorlaneParameters*, ActorInfo*, uint8_t kind, uint16_t index,
                                   char* buffer, uint32_t size);
using CreateActorProc = void (*)(VorlaneParameters*, ActorInfo*);
using DisposeActorProc = uint16_t (*)(VorlaneParameters*, ActorInfo*);
using ActivateActorProc = void (*)(VorlaneParameters*, ActorInfo*, uint8_t active);
using HandlePropertyChangeValueProc = void (*)(VorlaneParameters*, ActorInfo*, uint16_t index,
                                               Value* oldValue, Value* value, uint8_t flag);
using PropertyValueToStringProc = uint8_t (*)(VorlaneParameters*, ActorInfo*, uint8_t kind,
                                              uint16_t index, Value* value, char* text);
using PropertyStringToValueProc = uint8_t (*)(VorlaneParameters*, ActorInfo*, uint8_t kind,
                                              uint16_t index, const char* text, Value* value);
using GetActorDefinedAreaProc = uint8_t (*)(VorlaneParameters*, ActorInfo*, int16_t* width,
                                            int16_t* height, int16_t* third, int16_t* fourth);
using DrawActorDefinedAreaProc = void (*)(VorlaneParameters*, ActorInfo*, void* context,
                                          uint16_t part, uint16_t second, Rect* area, Rect* other,
                                          uint8_t state);

// The host's per-instance record. The registration fields are written by
// GetActorInfo; mActorDataPtr by CreateActor.
struct ActorInfo {
  uint32_t mClassCode;
  uint32_t mSecondCode;
  uint32_t mActorID;
  uint32_t mConstant256;
  uint32_t mConstant128;
  uint8_t mReserved20[4];
  const char* mDisplayName;
  uint8_t mReserved32[8];
  void* mActorRef;  // first argument of the property services; never written
  uint8_t mReserved48[592 - 48];
  void* mActorDataPtr;
  uint8_t mReserved600[624 - 600];
  GetParameterStringProc mGetParameterString;
  GetHelpStringProc mGetHelpString;
  CreateActorProc mCreateActor;
  DisposeActorProc mDisposeActor;
  ActivateActorProc mActivateActor;
  void* mUnused664;
  HandlePropertyChangeValueProc mHandlePropertyChangeValue;
  void* mNull680;
  void* mNull688;
  PropertyValueToStringProc mPropertyValueToString;
  PropertyStringToValueProc mPropertyStringToValue;
  void* mUnused712;
  GetActorDefinedAreaProc mGetActorDefinedArea;
  DrawActorDefinedAreaProc mDrawActorDefinedArea;
  void* mNull736;
};
static_assert(offsetof(ActorInfo, mClassCode) == 0);
static_assert(offsetof(ActorInfo, mSecondCode) == 4);
static_assert(offsetof(ActorInfo, mActorID) == 8);
static_assert(offsetof(ActorInfo, mConstant256) == 12);
static_assert(offsetof(ActorInfo, mConstant128) == 16);
static_assert(offsetof(ActorInfo, mDisplayName) == 24);
static_assert(offsetof(ActorInfo, mActorRef) == 40);
static_assert(offsetof(ActorInfo, mActorDataPtr) == 592);
static_assert(offsetof(ActorInfo, mGetParameterString) == 624);
static_assert(offsetof(ActorInfo, mGetHelpString) == 632);
static_assert(offsetof(ActorInfo, mCreateActor) == 640);
static_assert(offsetof(ActorInfo, mDisposeActor) == 648);
static_assert(offsetof(ActorInfo, mActivateActor) == 656);
static_assert(offsetof(ActorInfo, mUnused664) == 664);
static_assert(offsetof(ActorInfo, mHandlePropertyChangeValue) == 672);
static_assert(offsetof(ActorInfo, mNull680) == 680);
static_assert(offsetof(ActorInfo, mNull688) == 688);
static_assert(offsetof(ActorInfo, mPropertyValueToString) == 696);
static_assert(offsetof(ActorInfo, mPropertyStringToValue) == 704);
static_assert(offsetof(ActorInfo, mUnused712) == 712);
static_assert(offsetof(ActorInfo, mGetActorDefinedArea) == 720);
static_assert(offsetof(ActorInfo, mDrawActorDefinedArea) == 728);
static_assert(offsetof(ActorInfo, mNull736) == 736);
static_assert(sizeof(ActorInfo) == 744);
