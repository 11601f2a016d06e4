#include "joint_decoder/channel_change.h"

#include <cfloat>
#include <string>

#include "framework/actor_assert.h"
#include "framework/actor_entry_points.h"
#include "framework/four_char_code.h"
#include "framework/host_services.h"
#include "framework/value_access.h"
#include "joint_decoder/body_point_map_rebuild.h"
#include "joint_decoder/bonesplit_name.h"
#include "joint_decoder/coordinate_outputs.h"
#include "joint_decoder/decoder_info.h"
#include "joint_decoder/joint_name.h"
#include "joint_decoder/output_property_id.h"
#include "joint_decoder/skeleton_outputs.h"

namespace {

// The name a new channel starts with: the joint it will report when a
// skeleton is present, else its letters.
std::string NewChannelBaseName(const DecoderInfo& decoder, const SkeletonPkg* s, int32_t channel) {
  const auto t = static_cast<uint32_t>(channel);
  if (s == nullptr || t >= s->point_count) return DefaultChannelName(channel);
  uint32_t point = decoder.mBodyPointMap != nullptr && t < decoder.mBodyPointMapCount
                       ? decoder.mBodyPointMap[t]
                       : t;
  if (point >= s->point_count) point = t;
  return std::string(JointName(s->points[point]));
}

void AddChannels(VorlaneParameters* params, ActorInfo* info, const DecoderInfo& decoder,
                 const SkeletonPkg* s, int32_t from, int32_t to) {
  void* ref = Host::ActorRef(info);
  Value minimum = MakeFloatValue(-DBL_MAX);
  Value maximum = MakeFloatValue(DBL_MAX);
  Value initial = MakeFloatValue(0.0);
  // New outputs take the type of the first coordinate output, whatever the
  // host's codes mean.
  uint32_t code1 = 0;
  uint32_t code2 = 0;
  Host::GetPropertyTypeCodes(params, ref, kKindOutput, kFirstVariablePropertyIndex1, &code1, &code2);

  char name[kCoordinateNameSize];
  for (int32_t t = from; t < to; ++t) {
    const std::string base = NewChannelBaseName(decoder, s, t);
    for (int32_t j = 0; j < kCoordinatesPerChannel; ++j) {
      FormatCoordinateName(base, j, name);
      const uint32_t id = OutputPropertyID(params, kCoordinatesPerChannel * t + j + 1);
      const uint16_t err = Host::AddOutputProperty(params, ref, id, FourCharCode("ot01"), name,
                                                   code1, code2, &minimum, &maximum, &initial);
      VORL_ASSERT_TEXT(params, kBonesplitName, err == kVorlNoError, "err == noErr");
    }
  }
}

void RemoveChannels(VorlaneParameters* params, ActorInfo* info, int32_t from, int32_t to) {
  void* ref = Host::ActorRef(info);
  for (int32_t t = from - 1; t >= to; --t) {
    for (int32_t j = kCoordinatesPerChannel - 1; j >= 0; --j) {
      const auto output = static_cast<uint16_t>(CoordinateOutputIndex(t, j));
      const uint16_t err = Host::RemoveOutputProperty(params, ref, output);
      VORL_ASSERT_TEXT(params, kBonesplitName, err == kVorlNoError, "err == noErr");
    }
  }
}

}  // namespace

void ChangeChannelCount(VorlaneParameters* params, ActorInfo* info, int32_t channelCount) {
  DecoderInfo* decoder = ActorData<DecoderInfo>(info);
  if (decoder == nullptr) return;
  SkeletonPkg* s = GetCurrentSkeleton(params, info);

  int32_t current = 0;
  if (!CountCoordinateChannels(params, info, &current)) return;

  if (channelCount > current) {
    AddChannels(params, info, *decoder, s, current, channelCount);
    if (s != nullptr) {
      GenerateBodyPointMap(params, info);
      SendSkeletonOutputs(params, info, s, true);
    }
  } else if (channelCount < current) {
    RemoveChannels(params, info, current, channelCount);
  }
  // Recorded last on purpose: the sends above cover only the channels that
  // already had values; the new ones get theirs with the next skeleton.
  decoder->mChannelCount = channelCount;
}
