// The plug-in file's single export.
#include "framework/actor_entry_points.h"
#include "skeleton_renderer/bonescope_actor.h"

VORL_EXPORT void GetActorInfo(void*, ActorInfo* info) { RegisterActor<CBonescopeActor>(info); }
