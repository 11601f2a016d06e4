#include "joint_decoder/body_point_map_rebuild.h"

#include <algorithm>
#include <memory>
#include <new>

#include "framework/actor_assert.h"
#include "framework/actor_entry_points.h"
#include "framework/host_services.h"
#include "framework/value_access.h"
#include "joint_decoder/body_point_map.h"
#include "joint_decoder/bonesplit_name.h"
#include "joint_decoder/bonesplit_properties.h"
#include "joint_decoder/coordinate_outputs.h"
#include "joint_decoder/joint_name.h"
#include "joint_decoder/skeleton_outputs.h"

void ReleaseBodyPointMap(DecoderInfo& decoder) {
  delete[] decoder.mBodyPointMap;
  decoder.mBodyPointMap = nullptr;
  decoder.mBodyPointMapCount = 0;
}

bool CountCoordinateChannels(VorlaneParameters* params, ActorInfo* info, int32_t* channels) {
  uint32_t propCount = 0;
  const uint16_t err = Host::GetPropertyCount(params, Host::ActorRef(info), kKindOutput, &propCount);
  VORL_ASSERT(params, kBonesplitName,
              err == kVorlNoError && propCount >= kFirstVariablePropertyIndex1);
  // Output indexes are 16-bit: a larger count cannot be addressed anyway, and
  // bounding it keeps every loop over channels short.
  *channels = err == kVorlNoError ? ChannelCountFromOutputs(std::min<uint32_t>(propCount, UINT16_MAX))
                                  : 0;
  return err == kVorlNoError;
}

namespace {

void RenameJointOutputs(VorlaneParameters* params, ActorInfo* info, const DecoderInfo& decoder,
                        const SkeletonPkg& s) {
  int32_t channels = 0;
  CountCoordinateChannels(params, info, &channels);
  void* ref = Host::ActorRef(info);
  const uint32_t* map = decoder.mBodyPointMap;
  char name[kCoordinateNameSize];
  for (uint32_t i = 0; i < s.point_count && i < static_cast<uint32_t>(channels); ++i) {
    VORL_ASSERT_TEXT(params, kBonesplitName, i < decoder.mBodyPointMapCount,
                     "i >= 0 && i < info->mBodyPointMapCount");
    const uint32_t point = i < decoder.mBodyPointMapCount ? map[i] : i;
    VORL_ASSERT_TEXT(params, kBonesplitName, point < s.point_count,
                     "map[i] >= 0 && map[i] < s.point_count");
    if (point >= s.point_count) continue;
    const std::string_view joint = JointName(s.points[point]);
    for (int32_t j = 0; j < kCoordinatesPerChannel; ++j) {
      FormatCoordinateName(joint, j, name);
      Host::SetPropertyDisplayName(params, ref, kKindOutput,
                                   static_cast<uint16_t>(CoordinateOutputIndex(static_cast<int32_t>(i), j)),
                                   name);
    }
  }
}

}  // namespace

void GenerateBodyPointMap(VorlaneParameters* params, ActorInfo* info) {
  DecoderInfo* decoder = ActorData<DecoderInfo>(info);
  if (decoder == nullptr) return;
  SkeletonPkg* skeleton = GetCurrentSkeleton(params, info);
  if (skeleton == nullptr) return;
  const SkeletonPkg& s = *skeleton;

  // Everything that can fail is done before the old map goes, so a failed
  // rebuild leaves the previous map in place.
  std::unique_ptr<uint32_t[]> map(new (std::nothrow) uint32_t[s.point_count]);
  if (map == nullptr) return;
  const label_list selection = SplitPointSelection(
      ValueToText(Host::GetInputPropertyValue(params, Host::ActorRef(info), BonesplitInput::kPointSel)));
  const uint32_t count = FillBodyPointMap(params, s, selection, map.get());

  ReleaseBodyPointMap(*decoder);
  decoder->mBodyPointMap = map.release();
  decoder->mBodyPointMapCount = count;

  RenameJointOutputs(params, info, *decoder, s);
  SendSkeletonOutputs(params, info, skeleton, true);
}
