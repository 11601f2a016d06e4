// Must NOT compile: an actor class whose optional member has the wrong
// signature. VORL_MISMATCH selects the member: 1 HelpString, 2 StringToValue,
// 3 ReceiveMessage, 0 none (the control case, which must compile).
#include "framework/actor_entry_points.h"

struct CMismatchedActor {
  static constexpr const char* kDisplayName = "Mismatched";
  static constexpr uint32_t kClassCode = 0x636E746C;
  static constexpr uint32_t kActorID = 0x5F6D6D5F;
  static constexpr const char* kHelpStrings[] = {"A test actor."};
  static const char* ParameterString() { return ""; }
  static void Create(VorlaneParameters*, ActorInfo*) {}
  static uint16_t Dispose(VorlaneParameters*, ActorInfo*) { return 0; }
  static void Activate(VorlaneParameters*, ActorInfo*, uint8_t) {}
  static void PropertyChanged(VorlaneParameters*, ActorInfo*, uint16_t, Value*, Value*, uint8_t) {}
  static bool ValueToString(VorlaneParameters*, ActorInfo*, uint8_t, uint16_t, Value*, char*) {
    return false;
  }
#if VORL_MISMATCH == 1
  // The size is 16 bits instead of 32.
  static void HelpString(VorlaneParameters*, ActorInfo*, uint8_t, uint16_t, char*, uint16_t) {}
#elif VORL_MISMATCH == 2
  // The text is not const.
  static bool StringToValue(VorlaneParameters*, ActorInfo*, uint8_t, uint16_t, char*, Value*) {
    return false;
  }
#elif VORL_MISMATCH == 3
  // The refcon is left as void*.
  static intptr_t ReceiveMessage(VorlaneParameters*, uint32_t, uint16_t, const uint8_t*, uint32_t,
                                 void*) {
    return 0;
  }
#endif
};

void RegisterMismatched(ActorInfo* info) { RegisterActor<CMismatchedActor>(info); }
