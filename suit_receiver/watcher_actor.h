// The watcher actor, "Kavrin Studio Live Watcher": listens on a UDP port
// through a shared receiver, optionally keeps only one suit's frames, writes
// each accepted frame into its own 19-point skeleton package and publishes
// it on `skeleton`, with `recv_pkt` triggers and the receiver's error text.
//
// Every callback runs on the host's main thread. All work after activation
// happens in ReceiveMessage (kind 0x80), which the host calls repeatedly.
#pragma once

#include <cstdint>

#include "framework/four_char_code.h"
#include "framework/vorlane_types.h"

struct WatcherInfo;
class CMotiWearMessage;

struct CWatcherActor {
  static constexpr const char* kDisplayName = "Kavrin Studio Live Watcher";
  static constexpr uint32_t kClassCode = FourCharCode("cntl");
  static constexpr uint32_t kActorID = FourCharCode("_ssp");
  static constexpr bool kPictureLoadedWhenNonZero = true;
  static const char* const kHelpStrings[10];

  // Inputs and outputs, 1-based as the host numbers them.
  static constexpr uint16_t kInPort = 1, kInSuitID = 2, kInNameJoints = 3, kInReverseX = 4,
                            kInReverseY = 5, kInReverseZ = 6;
  static constexpr uint16_t kOutSkeleton = 1, kOutError = 2, kOutReceivedPacket = 3;
  static constexpr uint32_t kServiceMessageMask = 0x80;

  static const char* ParameterString();
  static void Create(VorlaneParameters* params, ActorInfo* info);
  static uint16_t Dispose(VorlaneParameters* params, ActorInfo* info);
  static void Activate(VorlaneParameters* params, ActorInfo* info, uint8_t active);
  static void PropertyChanged(VorlaneParameters* params, ActorInfo* info, uint16_t index,
                              Value* oldValue, Value* value, uint8_t flag);
  static bool ValueToString(VorlaneParameters* params, ActorInfo* info, uint8_t kind,
                            uint16_t index, Value* value, char* text);
  // Registered so the slot is filled; the watcher parses no text.
  static bool StringToValue(VorlaneParameters* params, ActorInfo* info, uint8_t kind,
                            uint16_t index, const char* text, Value* value);
  static intptr_t ReceiveMessage(VorlaneParameters* params, uint32_t kind, uint16_t arg,
                                 const uint8_t* data, uint32_t length, ActorInfo* info);

  // The client callback: keeps the message for this instance's next
  // ReceiveMessage. [main thread, inside CMotiWearPro::Service]
  static void MotiWearCallback(void* context, CMotiWearMessage* message);

  // Live instances of this plug-in file. [main thread]
  static int sMotiWearActorsInstantiated;
};
