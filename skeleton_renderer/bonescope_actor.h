// CBonescopeActor: the Bonescope actor, which draws the skeleton package on
// its first input into a host image buffer on every render request and sends
// the frame on `video_out`.
//
// A class of static functions driven through CActorEntryPoints (the C
// boundary). Property changes only store values in RendererData; a frame is
// made only when the host sends a render request to the message receiver
// registered while the instance is active. The output buffer and the sending
// of frames belong to the instance's CVideoHelper.
//
// Thread-safety: none; every callback and message arrives on the host's main
// thread.
#pragma once

#include <cstdint>

#include "framework/four_char_code.h"
#include "framework/vorlane_types.h"
#include "skeleton_renderer/renderer_data.h"

// Message kinds the actor registers for.
inline constexpr uint32_t kBonescopeRenderRequest = 0x1000;
inline constexpr uint32_t kBonescopeContextLost = 0x20000000;
inline constexpr uint32_t kBonescopeMessageMask = kBonescopeRenderRequest | kBonescopeContextLost;

// 1-based input indexes.
namespace BonescopeInput {
inline constexpr uint16_t kSkeleton = 1;
inline constexpr uint16_t kObjectType = 2;
inline constexpr uint16_t kObjectSize = 3;
inline constexpr uint16_t kObjectSides = 4;
inline constexpr uint16_t kObjectIntensity = 5;
inline constexpr uint16_t kObjectRotX = 6;
inline constexpr uint16_t kObjectRotY = 7;
inline constexpr uint16_t kObjectRotZ = 8;
inline constexpr uint16_t kLighting = 9;
inline constexpr uint16_t kRenderBack = 10;
inline constexpr uint16_t kDepthTest = 11;
inline constexpr uint16_t kCameraRotX = 12;
inline constexpr uint16_t kCameraRotY = 13;
inline constexpr uint16_t kCameraRotZ = 14;
inline constexpr uint16_t kCameraTransX = 15;
inline constexpr uint16_t kCameraTransY = 16;
inline constexpr uint16_t kCameraTransZ = 17;
inline constexpr uint16_t kDrawOrigin = 18;
inline constexpr uint16_t kOriginSize = 19;
inline constexpr uint16_t kWidth = 20;
inline constexpr uint16_t kHeight = 21;
}  // namespace BonescopeInput

inline constexpr uint16_t kBonescopeVideoOutput = 1;

class CBonescopeActor {
 public:
  static constexpr const char* kDisplayName = "Bonescope";
  static constexpr uint32_t kClassCode = FourCharCode("vide");
  static constexpr uint32_t kSecondCode = FourCharCode("vdpp");
  static constexpr uint32_t kActorID = FourCharCode("_skv");

  // Entry 0 the actor, 1 to 21 the inputs, 22 the output.
  static const char* const sHelpStrings[23];
  static constexpr const auto& kHelpStrings = sHelpStrings;

  static const char* ParameterString();

  // [main thread] The entry points behind the trampolines; those needing the
  // data block are only called when it exists.
  static void Create(VorlaneParameters* params, ActorInfo* info);
  static uint16_t Dispose(VorlaneParameters* params, ActorInfo* info);
  static void Activate(VorlaneParameters* params, ActorInfo* info, uint8_t active);
  static void PropertyChanged(VorlaneParameters* params, ActorInfo* info, uint16_t index,
                              Value* oldValue, Value* value, uint8_t flag);
  static bool ValueToString(VorlaneParameters* params, ActorInfo* info, uint8_t kind,
                            uint16_t index, Value* value, char* text);
  static bool StringToValue(VorlaneParameters* params, ActorInfo* info, uint8_t kind,
                            uint16_t index, const char* text, Value* value);

  // The message receiver (refcon is the instance's ActorInfo). A context-loss
  // message returns whether the buffers were dropped; a render request
  // returns EndVideoRender's result.
  static intptr_t ReceiveMessage(VorlaneParameters* params, uint32_t kind, uint16_t arg,
                                 const uint8_t* data, uint32_t length, ActorInfo* info);

  // Frame production for one render request: prepares the output buffer,
  // draws the scene when a tracked skeleton is present, and sends the frame.
  static void DrawSkeleton(VorlaneParameters* params, RendererData& data);

 private:
  static void Deactivate(VorlaneParameters* params, RendererData& data);
};
