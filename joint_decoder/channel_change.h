// Adding and removing coordinate channels when the `channels` input changes.
//
// New channels are appended at the end of the outputs (three each, x, y, z)
// and named after the joints of the skeleton on the input, or joint-<letters>
// without one; surplus channels are removed from the last one down.
//
// [main thread]: only from the actor's callbacks.
#pragma once

#include <cstdint>

#include "framework/vorlane_types.h"

// Brings the instance to `channelCount` channels (already within 1..64) and
// records the count. If the host cannot say how many outputs exist, nothing
// is added, removed or recorded.
void ChangeChannelCount(VorlaneParameters* params, ActorInfo* info, int32_t channelCount);
