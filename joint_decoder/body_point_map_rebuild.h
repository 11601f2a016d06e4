// Rebuilding an instance's body point map from the skeleton and the selection
// text currently on its inputs, and naming its coordinate outputs after the
// joints they now report.
//
// [main thread]: only from the actor's callbacks. Touches only the instance's
// DecoderInfo and its outputs.
#pragma once

#include <cstdint>

#include "framework/vorlane_types.h"
#include "joint_decoder/decoder_info.h"

// Rebuilds the map from input 1 (skeleton_in) and input 3 (point_sel), renames
// the joint outputs of the channels the skeleton fills and sends all outputs
// with force. Without a valid skeleton on input 1 nothing changes.
void GenerateBodyPointMap(VorlaneParameters* params, ActorInfo* info);

// Frees the map; afterwards there is no array and its count is 0.
void ReleaseBodyPointMap(DecoderInfo& decoder);

// Asks the host how many outputs the instance has and stores the number of
// channels they hold in `channels` (0 on failure). A failure, or fewer
// outputs than the fixed four and one coordinate, is reported. Returns false
// when the host gave no count.
bool CountCoordinateChannels(VorlaneParameters* params, ActorInfo* info, int32_t* channels);
