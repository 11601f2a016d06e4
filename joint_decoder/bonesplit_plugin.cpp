// The plug-in file's one export.
#include "framework/actor_entry_points.h"
#include "joint_decoder/bonesplit_actor.h"

// [main thread, once per loaded file] The first argument is not used.
VORL_EXPORT void GetActorInfo(void*, ActorInfo* info) { RegisterActor<CBonesplit>(info); }
