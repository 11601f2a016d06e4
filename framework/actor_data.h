// The instance data block: one zero-filled block from the host's allocator,
// made in CreateActor and returned in DisposeActor.
#pragma once

#include <cstdint>

#include "framework/vorlane_types.h"

// Allocates `size` zero-filled bytes with AllocateMemory(size, 1), stores the
// block in info->mActorDataPtr and returns it. On failure reports
// "info != nil" under `actorName` and leaves mActorDataPtr null; the
// entry-point layer then keeps every later callback away from the missing
// block. REQUIRES: info is not null.
void* CreateActorData(VorlaneParameters* params, ActorInfo* info, uint64_t size,
                      const char* actorName);

// Reports "ioActorInfo->mActorDataPtr != nil" when there is no block, then
// calls FreeMemory with it (null or not), clears mActorDataPtr and returns
// FreeMemory's result. REQUIRES: info is not null.
uint16_t DisposeActorData(VorlaneParameters* params, ActorInfo* info, const char* actorName);

// PropertyValueToString for the actor's skeleton property: writes "skeleton"
// and returns true when (kind, index) names it, else leaves `text` alone.
bool SkeletonPropertyValueToString(uint8_t kind, uint16_t index, uint8_t skeletonKind,
                                   uint16_t skeletonIndex, char* text);
