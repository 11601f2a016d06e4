// The C boundary of an actor plug-in.
//
// An actor is written as a plain C++ class of static functions (see
// `ActorClass` below). CActorEntryPoints<Actor> wraps each of them in a
// noexcept trampoline with the exact C signature the host calls, so that:
//  - no C++ exception ever crosses into the host: it is stopped here,
//    reported to the host's AssertionFailed with the entry point's name
//    (boundary_report.h), and the call returns its neutral result;
//  - an instance whose data block could not be allocated stays safe: every
//    callback that needs the block returns without effect.
// RegisterActor<Actor> fills the host's registration record from the class.
//
// Every entry point runs on the host's main thread; each says at its
// declaration in which state of the instance the host calls it.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <type_traits>

#include "framework/actor_picture.h"
#include "framework/boundary_report.h"
#include "framework/help_text.h"
#include "framework/vorlane_types.h"

#if defined(_WIN32)
#define VORL_EXPORT extern "C" __declspec(dllexport)
#else
#define VORL_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// What an actor class provides. Optional members are detected by name: a
// class may add `StringToValue`, `ReceiveMessage`, `HelpString` (replacing the
// table lookup), `kSecondCode` and `kPictureLoadedWhenNonZero`. An optional
// function whose signature does not match the one below is a compile error,
// never silently left out (declare each one once, not overloaded):
//   static void HelpString(VorlaneParameters*, ActorInfo*, uint8_t kind, uint16_t index,
//                          char* buffer, uint32_t size);
//   static bool StringToValue(VorlaneParameters*, ActorInfo*, uint8_t kind, uint16_t index,
//                             const char* text, Value* value);
//   static intptr_t ReceiveMessage(VorlaneParameters*, uint32_t kind, uint16_t arg,
//                                  const uint8_t* data, uint32_t length, ActorInfo* info);
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

// True when `F` is a pointer to a function R(Args...), noexcept or not.
template <class F, class R, class... Args>
inline constexpr bool kIsFunctionOf =
    std::is_same_v<F, R (*)(Args...)> || std::is_same_v<F, R (*)(Args...) noexcept>;

// Whether an actor class has the optional member, by name.
template <class A>
inline constexpr bool kHasHelpString = requires { &A::HelpString; };
template <class A>
inline constexpr bool kHasStringToValue = requires { &A::StringToValue; };
template <class A>
inline constexpr bool kHasReceiveMessage = requires { &A::ReceiveMessage; };

// Each is true when the member is absent or has exactly its signature.
template <class A>
constexpr bool HelpStringMatches() {
  if constexpr (kHasHelpString<A>) {
    return kIsFunctionOf<decltype(&A::HelpString), void, VorlaneParameters*, ActorInfo*, uint8_t,
                         uint16_t, char*, uint32_t>;
  }
  return true;
}
template <class A>
constexpr bool StringToValueMatches() {
  if constexpr (kHasStringToValue<A>) {
    return kIsFunctionOf<decltype(&A::StringToValue), bool, VorlaneParameters*, ActorInfo*, uint8_t,
                         uint16_t, const char*, Value*>;
  }
  return true;
}
template <class A>
constexpr bool ReceiveMessageMatches() {
  if constexpr (kHasReceiveMessage<A>) {
    return kIsFunctionOf<decltype(&A::ReceiveMessage), intptr_t, VorlaneParameters*, uint32_t,
                         uint16_t, const uint8_t*, uint32_t, ActorInfo*>;
  }
  return true;
}

template <ActorClass Actor>
struct CActorEntryPoints {
  static_assert(HelpStringMatches<Actor>(),
                "HelpString: its signature does not match static void(VorlaneParameters*, "
                "ActorInfo*, uint8_t kind, uint16_t index, char* buffer, uint32_t size)");
  static_assert(StringToValueMatches<Actor>(),
                "StringToValue: its signature does not match static bool(VorlaneParameters*, "
                "ActorInfo*, uint8_t kind, uint16_t index, const char* text, Value* value)");
  static_assert(ReceiveMessageMatches<Actor>(),
                "ReceiveMessage: its signature does not match static intptr_t(VorlaneParameters*, "
                "uint32_t kind, uint16_t arg, const uint8_t* data, uint32_t length, ActorInfo* "
                "info)");

  // The text lives as long as the file is loaded. [main thread, any state]
  static const char* GetParameterString(VorlaneParameters* params, ActorInfo*) noexcept {
    try {
      return Actor::ParameterString();
    } catch (...) {
      ReportStoppedException(params, Actor::kDisplayName, "GetParameterString", __LINE__);
      return "";
    }
  }

  // Writes at most size - 1 characters and the terminator into `buffer`.
  // [main thread, any state]
  static void GetHelpString(VorlaneParameters* params, ActorInfo* info, uint8_t kind, uint16_t index,
                            char* buffer, uint32_t size) noexcept {
    try {
      if constexpr (kHasHelpString<Actor>) {
        Actor::HelpString(params, info, kind, index, buffer, size);
      } else {
        GetHelpStringFromTable(params, info, kind, index, buffer, size, Actor::kHelpStrings,
                               std::size(Actor::kHelpStrings));
      }
    } catch (...) {
      ReportStoppedException(params, Actor::kDisplayName, "GetHelpString", __LINE__);
    }
  }

  // [main thread & not yet created]
  static void CreateActor(VorlaneParameters* params, ActorInfo* info) noexcept {
    if (info == nullptr) return;
    try {
      Actor::Create(params, info);
    } catch (...) {
      ReportStoppedException(params, Actor::kDisplayName, "CreateActor", __LINE__);
    }
  }

  // [main thread & created, inactive]
  static uint16_t DisposeActor(VorlaneParameters* params, ActorInfo* info) noexcept {
    if (info == nullptr) return kVorlNoError;
    try {
      return Actor::Dispose(params, info);
    } catch (...) {
      ReportStoppedException(params, Actor::kDisplayName, "DisposeActor", __LINE__);
      return kVorlNoError;
    }
  }

  // [main thread & created]
  static void ActivateActor(VorlaneParameters* params, ActorInfo* info, uint8_t active) noexcept {
    if (!HasActorData(info)) return;
    try {
      Actor::Activate(params, info, active);
    } catch (...) {
      ReportStoppedException(params, Actor::kDisplayName, "ActivateActor", __LINE__);
    }
  }

  // Both values belong to the host and stay valid only for this call.
  // [main thread & created; before activation too]
  static void HandlePropertyChangeValue(VorlaneParameters* params, ActorInfo* info, uint16_t index,
                                        Value* oldValue, Value* value, uint8_t flag) noexcept {
    if (!HasActorData(info)) return;
    try {
      Actor::PropertyChanged(params, info, index, oldValue, value, flag);
    } catch (...) {
      ReportStoppedException(params, Actor::kDisplayName, "HandlePropertyChangeValue", __LINE__);
    }
  }

  // [main thread & created]
  static uint8_t PropertyValueToString(VorlaneParameters* params, ActorInfo* info, uint8_t kind,
                                       uint16_t index, Value* value, char* text) noexcept {
    if (!HasActorData(info) || text == nullptr) return 0;
    try {
      return Actor::ValueToString(params, info, kind, index, value, text) ? 1 : 0;
    } catch (...) {
      ReportStoppedException(params, Actor::kDisplayName, "PropertyValueToString", __LINE__);
      return 0;
    }
  }

  // [main thread & created]
  static uint8_t PropertyStringToValue(VorlaneParameters* params, ActorInfo* info, uint8_t kind,
                                       uint16_t index, const char* text, Value* value) noexcept {
    if (!HasActorData(info) || text == nullptr || value == nullptr) return 0;
    try {
      if constexpr (kHasStringToValue<Actor>) {
        return Actor::StringToValue(params, info, kind, index, text, value) ? 1 : 0;
      } else {
        return 0;
      }
    } catch (...) {
      ReportStoppedException(params, Actor::kDisplayName, "PropertyStringToValue", __LINE__);
      return 0;
    }
  }

  // [main thread, any state]
  static uint8_t GetActorDefinedArea(VorlaneParameters* params, ActorInfo* info, int16_t* width,
                                     int16_t* height, int16_t* third, int16_t* fourth) noexcept {
    try {
      return GetActorPictureArea(params, info, width, height, third, fourth);
    } catch (...) {
      ReportStoppedException(params, Actor::kDisplayName, "GetActorDefinedArea", __LINE__);
      return 0;
    }
  }

  // [main thread, any state]
  static void DrawActorDefinedArea(VorlaneParameters* params, ActorInfo* info, void*, uint16_t part,
                                   uint16_t, Rect* area, Rect*, uint8_t state) noexcept {
    bool nonZero = false;
    if constexpr (requires { Actor::kPictureLoadedWhenNonZero; }) nonZero = Actor::kPictureLoadedWhenNonZero;
    try {
      DrawActorPictureArea(params, info, part, area, state, nonZero);
    } catch (...) {
      ReportStoppedException(params, Actor::kDisplayName, "DrawActorDefinedArea", __LINE__);
    }
  }

  // The message receiver; refcon is the instance's ActorInfo. `data` is
  // valid only for this call. [main thread & active]
  static intptr_t ReceiveMessage(VorlaneParameters* params, uint32_t kind, uint16_t arg,
                                 const uint8_t* data, uint32_t length, void* refcon) noexcept {
    auto* info = static_cast<ActorInfo*>(refcon);
    if (!HasActorData(info)) return 0;
    try {
      if constexpr (kHasReceiveMessage<Actor>) {
        return Actor::ReceiveMessage(params, kind, arg, data, length, info);
      } else {
        return 0;
      }
    } catch (...) {
      ReportStoppedException(params, Actor::kDisplayName, "ReceiveMessage", __LINE__);
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
  if constexpr (kHasStringToValue<Actor>) {
    info->mPropertyStringToValue = &E::PropertyStringToValue;
  } else {
    info->mPropertyStringToValue = nullptr;
  }
  info->mGetActorDefinedArea = &E::GetActorDefinedArea;
  info->mDrawActorDefinedArea = &E::DrawActorDefinedArea;
  info->mNull736 = nullptr;
}
