// Sending a skeleton's values on Bonesplit's outputs: tracking, skeleton id,
// enter/exit triggers and the coordinates of each channel through the body
// point map, moved by the offsets and, if a reference joint is named, made
// relative to it.
//
// [main thread]: only from the actor's callbacks. Touches only the instance's
// DecoderInfo.
#pragma once

#include "framework/vorlane_types.h"
#include "skeleton/skeleton_pkg.h"

// The package a Value carries if it is a valid skeleton (data Value, pointer
// not null, skeleton signature), else null. The package belongs to its
// producer and is valid until the next value arrives on the input.
SkeletonPkg* ValueToSkeleton(const Value* value);

// The valid skeleton currently on input 1 (skeleton_in), or null.
SkeletonPkg* GetCurrentSkeleton(VorlaneParameters* params, ActorInfo* info);

// Sends the outputs for `pkg`. An untracked package sends only `tracking`
// (and `exit` for state 4) unless `force` is set. Does nothing without a data
// block or a package.
void SendSkeletonOutputs(VorlaneParameters* params, ActorInfo* info, const SkeletonPkg* pkg,
                         bool force);
