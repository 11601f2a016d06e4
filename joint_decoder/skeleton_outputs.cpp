#include "joint_decoder/skeleton_outputs.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "framework/actor_entry_points.h"
#include "framework/host_services.h"
#include "framework/value_access.h"
#include "joint_decoder/bonesplit_properties.h"
#include "joint_decoder/coordinate_outputs.h"
#include "joint_decoder/decoder_info.h"
#include "joint_decoder/joint_name.h"

namespace {

void SendInteger(VorlaneParameters* params, void* ref, uint16_t output, int64_t integer) {
  Value value = MakeIntegerValue(integer);
  Host::SetOutputPropertyValue(params, ref, output, &value);
}

void SendFloat(VorlaneParameters* params, void* ref, uint16_t output, float number) {
  Value value = MakeFloatValue(static_cast<double>(number));
  Host::SetOutputPropertyValue(params, ref, output, &value);
}

bool IsTracked(uint8_t state) {
  return state == kSkeletonTrackingBegun || state == kSkeletonTracked;
}

// The reference joint is looked up in the skeleton on the input, by name; of
// several equal names the last one counts. An empty name asks for no
// reference joint, even where a point has no name.
void LookUpReferenceJoint(DecoderInfo& decoder, const SkeletonPkg& s) {
  const std::string_view wanted(decoder.mRelativeToName,
                                strnlen(decoder.mRelativeToName, kRelativeToNameSize));
  decoder.mRelativeToIndex = -1;
  for (uint32_t i = 0; i < s.point_count && !wanted.empty(); ++i) {
    if (JointName(s.points[i]) == wanted) decoder.mRelativeToIndex = static_cast<int32_t>(i);
  }
  decoder.mRelativeToChanged = false;
}

}  // namespace

SkeletonPkg* ValueToSkeleton(const Value* value) {
  void* data = ValueToData(value);
  return IsSkeletonPkg(data) ? static_cast<SkeletonPkg*>(data) : nullptr;
}

SkeletonPkg* GetCurrentSkeleton(VorlaneParameters* params, ActorInfo* info) {
  return ValueToSkeleton(
      Host::GetInputPropertyValue(params, Host::ActorRef(info), BonesplitInput::kSkeleton));
}

void SendSkeletonOutputs(VorlaneParameters* params, ActorInfo* info, const SkeletonPkg* pkg,
                         bool force) {
  DecoderInfo* decoder = ActorData<DecoderInfo>(info);
  if (decoder == nullptr || pkg == nullptr) return;
  void* ref = Host::ActorRef(info);
  const uint8_t state = pkg->tracking_state;
  const bool tracked = IsTracked(state);

  SendInteger(params, ref, BonesplitOutput::kTracking, tracked ? 1 : 0);
  if (!tracked && !force) {
    if (state == kSkeletonTrackingLost) SendInteger(params, ref, BonesplitOutput::kExit, 1);
    return;
  }
  SendInteger(params, ref, BonesplitOutput::kSkeletonID, pkg->skeleton_id);
  if (state == kSkeletonTrackingBegun) SendInteger(params, ref, BonesplitOutput::kEnter, 1);
  if (state == kSkeletonTrackingLost) SendInteger(params, ref, BonesplitOutput::kExit, 1);

  const int64_t n = std::min<int64_t>(pkg->point_count, decoder->mChannelCount);

  if (decoder->mRelativeToChanged) {
    // Without a skeleton on the input the lookup waits for the next send.
    if (const SkeletonPkg* s = GetCurrentSkeleton(params, info)) LookUpReferenceJoint(*decoder, *s);
  }

  float dx = decoder->mOffsetX;
  float dy = decoder->mOffsetY;
  float dz = decoder->mOffsetZ;
  const int32_t reference = decoder->mRelativeToIndex;
  if (reference >= 0 && static_cast<uint32_t>(reference) < pkg->point_count) {
    const SkeletonPoint& origin = pkg->points[reference];
    dx -= origin.x;
    dy -= origin.y;
    dz -= origin.z;
  }
  if (n < 1) return;

  const uint32_t* map = decoder->mBodyPointMap;
  const uint32_t mapCount = map != nullptr ? decoder->mBodyPointMapCount : 0;
  for (uint32_t k = 0; k < n; ++k) {
    uint32_t p = k < mapCount ? map[k] : k;
    // A map built from another skeleton than this package may name points it
    // does not have; the channel then shows its own point rather than read
    // past the package.
    if (p >= pkg->point_count) p = k;
    const SkeletonPoint& point = pkg->points[p];
    const auto channel = static_cast<int32_t>(k);
    SendFloat(params, ref, static_cast<uint16_t>(CoordinateOutputIndex(channel, 0)), point.x + dx);
    SendFloat(params, ref, static_cast<uint16_t>(CoordinateOutputIndex(channel, 1)), point.y + dy);
    SendFloat(params, ref, static_cast<uint16_t>(CoordinateOutputIndex(channel, 2)), point.z + dz);
  }
}
