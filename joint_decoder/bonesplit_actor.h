// CBonesplit: the joint decoder actor. Takes a skeleton package on its input
// and reports the coordinates of a user-ordered selection of joints on 1 to
// 64 channels of x, y, z outputs that it adds, removes and renames at run
// time, with offsets, a reference joint, tracking, the skeleton id and
// enter/exit triggers.
//
// A class of static callbacks for CActorEntryPoints, which wraps each in the
// host's C signature, stops exceptions and keeps instances without a data
// block away from the callbacks that need one. No PropertyStringToValue:
// the host gets a null slot.
//
// Every callback is [main thread]; each instance touches only its own
// DecoderInfo. No threads, no locks.
#pragma once

#include <cstdint>

#include "framework/four_char_code.h"
#include "framework/vorlane_types.h"
#include "joint_decoder/bonesplit_name.h"
#include "joint_decoder/bonesplit_properties.h"

class CBonesplit {
 public:
  static constexpr const char* kDisplayName = kBonesplitName;
  static constexpr uint32_t kClassCode = FourCharCode("cntl");
  static constexpr uint32_t kActorID = FourCharCode("_skl");
  static constexpr const char* const (&kHelpStrings)[kBonesplitHelpCount] = sHelpStrings;

  static const char* ParameterString() { return GetBonesplitParameterString(); }

  // Coordinate outputs get a help text composed from their current name;
  // every other property gets its entry of the help table.
  static void HelpString(VorlaneParameters* params, ActorInfo* info, uint8_t kind, uint16_t index,
                         char* buffer, uint32_t size);

  // Allocates the instance's DecoderInfo. On failure the instance has none.
  static void Create(VorlaneParameters* params, ActorInfo* info);
  // Returns the DecoderInfo to the host (and a map that deactivation did not
  // release).
  static uint16_t Dispose(VorlaneParameters* params, ActorInfo* info);
  // Active: counts the channels from the existing outputs and forgets every
  // input-derived state, so the first skeleton rebuilds the map. Inactive:
  // releases the map.
  static void Activate(VorlaneParameters* params, ActorInfo* info, uint8_t active);
  static void PropertyChanged(VorlaneParameters* params, ActorInfo* info, uint16_t index,
                              Value* oldValue, Value* value, uint8_t flag);
  // Input 1 shows as "skeleton"; nothing else has a text form.
  static bool ValueToString(VorlaneParameters* params, ActorInfo* info, uint8_t kind,
                            uint16_t index, Value* value, char* text);
};
