// The C boundary of an actor plug-in.
//
// An actor is written as a plain C++ class of static functions (see
// `ActorClass` below). CActorEntryPoints<Actor> wraps each of them in a
// noexcept trampoline with the exact C signature the host calls, so that:
//  - no C++ exception ever crosses into the host (it is stopped here and the
//    call returns its neutral result);
//  - an instance whose data block could not be allocated stays safe: every
//    callback that needs the block returns without effect.
// RegisterActor<Actor> fills the host's registration record from the class.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "framework/actor_picture.h"
#include "framework/help_text.h"
#include "framework/vorlane_types.h"

#if defined(_WIN32)
#define VORL_EXPORT extern "C" __declspec(dllexport)
#else
#define VORL_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// What an actor class provides. Optional members are detected: a class may
// add `StringToValue`, `ReceiveMessage`, `HelpString` (replacing the table
// lookup), `kSecondCode` and `kPictureLoadedWhenNonZero`.
template <class A>
concept ActorClass = requires(VorlaneParameters* p, ActorInfo* info, Value* v, char* text) {
  { A::kDisplayName } -> std::convertible_to<const char*>;
  { A::kClassCode } -> std::convertible_to<uint32_t>;
  { A::kActorID } -> std::convertible_to<uint32_t>;
  { A::kHelpStrings[0] } -> std::convertible_to<const char*>;
  { A::ParameterString() } -> std::convertible_to<const char*>;
  A::Create(p, info);
  { A::Dispose(p, info) } -> std::convertible_to<uint16_t>;
  A::Activate(p, info, uint8_t{1});
  A::PropertyChanged(p, info, uint16_t{1}, v, v, uint8_t{0});
  { A::ValueToString(p, info, uint8_t{1}, uint16_t{1}, v, text) } -> std::convertible_to<bool>;
};

// True when the instance has its private data block.
inline bool HasActorData(const ActorInfo* info) {
  return info != nullptr && info->mActorDataPtr != nullptr;
}

// The instance's data block as `T`, or null.
template <class T>
T* ActorData(const ActorInfo* info) {
  return info != nullptr ? static_cast<T*>(info->mActorDataPtr) : nullptr;
}

template <ActorClass Actor>
struct CActorEntryPoints {
  static const char* GetParameterString(VorlaneParameters*, ActorInfo*) noexcept {
    return Actor::ParameterString();
  }

  static void GetHelpString(VorlaneParameters* params, ActorInfo* info, uint8_t kind, uint16_t index,
                            char* buffer, uint32_t size) noexcept {
    try {
      if constexpr (requires { Actor::HelpString(params, info, kind, index, buffer, size); }) {
        Actor::HelpString(params, info, kind, index, buffer, size);
      } else {
        GetHelpStringFromTable(params, info, kind, index, buffer, size, Actor::kHelpStrings,
                               std::size(Actor::kHelpStrings));
      }
    } catch (...) {
    }
  }

  static void CreateActor(VorlaneParameters* params, ActorInfo* info) noexcept {
    if (info == nullptr) return;
    try {
      Actor::Create(params, info);
    } catch (...) {
    }
  }

  static uint16_t DisposeActor(VorlaneParameters* params, ActorInfo* info) noexcept {
    if (info == nullptr) return kVorlNoError;
    try {
      return Actor::Dispose(params, info);
    } catch (...) {
      return kVorlNoError;
    }
  }

  static void ActivateActor(VorlaneParameters* params, ActorInfo* info, uint8_t active) noexcept {
    if (!HasActorData(info)) return;
    try {
      Actor::Activate(params, info, active);
    } catch (...) {
    }
  }

  static void HandlePropertyChangeValue(VorlaneParameters* params, ActorInfo* info, uint16_t index,
                                        Value* oldValue, Value* value, uint8_t flag) noexcept {
    if (!HasActorData(info)) return;
    try {
      Actor::PropertyChanged(params, info, index, oldValue, value, flag);
    } catch (...) {
    }
  }

  static uint8_t PropertyValueToString(VorlaneParameters* params, ActorInfo* info, uint8_t kind,
                                       uint16_t index, Value* value, char* text) noexcept {
    if (!HasActorData(info) || text == nullptr) return 0;
    try {
      return Actor::ValueToString(params, info, kind, index, value, text) ? 1 : 0;
    } catch (...) {
      return 0;
    }
  }

  static uint8_t PropertyStringToValue(VorlaneParameters* params, ActorInfo* info, uint8_t kind,
                                       uint16_t index, const char* text, Value* value) noexcept {
    if (!HasActorData(info) || text == nullptr || value == nullptr) return 0;
    try {
      if constexpr (requires { Actor::StringToValue(params, info, kind, index, text, value); }) {
        return Actor::StringToValue(params, info, kind, index, text, value) ? 1 : 0;
      } else {
        return 0;
      }
    } catch (...) {
      return 0;
    }
  }

  static uint8_t GetActorDefinedArea(VorlaneParameters* params, ActorInfo* info, int16_t* width,
                                     int16_t* height, int16_t* third, int16_t* fourth) noexcept {
    return GetActorPictureArea(params, info, width, height, third, fourth);
  }

  static void DrawActorDefinedArea(VorlaneParameters* params, ActorInfo* info, void*, uint16_t part,
                                   uint16_t, Rect* area, Rect*, uint8_t state) noexcept {
    bool nonZero = false;
    if constexpr (requires { Actor::kPictureLoadedWhenNonZero; }) nonZero = Actor::kPictureLoadedWhenNonZero;
    DrawActorPictureArea(params, info, part, area, state, nonZero);
  }

  // The message receiver; refcon is the instance's ActorInfo.
  static intptr_t ReceiveMessage(VorlaneParameters* params, uint32_t kind, uint16_t arg,
                                 const uint8_t* data, uint32_t length, void* refcon) noexcept {
    auto* info = static_cast<ActorInfo*>(refcon);
    if (!HasActorData(info)) return 0;
    try {
      if constexpr (requires { Actor::ReceiveMessage(params, kind, arg, data, length, info); }) {
        return Actor::ReceiveMessage(params, kind, arg, data, length, info);
      } else {
        return 0;
      }
    } catch (...) {
      return 0;
    }
  }
};

// Fills the registration fields of `info` for Actor. The second code and the
// unwritten slots are left untouched; the slots the host expects null are
// cleared. [main thread, once per loaded file]
template <ActorClass Actor>
void RegisterActor(ActorInfo* info) noexcept {
  if (info == nullptr) return;
  using E = CActorEntryPoints<Actor>;
  info->mClassCode = Actor::kClassCode;
  if constexpr (requires { Actor::kSecondCode; }) info->mSecondCode = Actor::kSecondCode;
  info->mActorID = Actor::kActorID;
  info->mConstant256 = 256;
  info->mConstant128 = 128;
  info->mDisplayName = Actor::kDisplayName;
  info->mGetParameterString = &E::GetParameterString;
  info->mGetHelpString = &E::GetHelpString;
  info->mCreateActor = &E::CreateActor;
  info->mDisposeActor = &E::DisposeActor;
  info->mActivateActor = &E::ActivateActor;
  info->mHandlePropertyChangeValue = &E::HandlePropertyChangeValue;
  info->mNull680 = nullptr;
  info->mNull688 = nullptr;
  info->mPropertyValueToString = &E::PropertyValueToString;
  if constexpr (requires { &Actor::StringToValue; }) {
    info->mPropertyStringToValue = &E::PropertyStringToValue;
  } else {
    info->mPropertyStringToValue = nullptr;
  }
  info->mGetActorDefinedArea = &E::GetActorDefinedArea;
  info->mDrawActorDefinedArea = &E::DrawActorDefinedArea;
  info->mNull736 = nullptr;
}
