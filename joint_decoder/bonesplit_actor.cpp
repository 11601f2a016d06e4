#include "joint_decoder/bonesplit_actor.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "framework/actor_assert.h"
#include "framework/actor_data.h"
#include "framework/actor_entry_points.h"
#include "framework/help_text.h"
#include "framework/host_services.h"
#include "framework/value_access.h"
#include "joint_decoder/body_point_map_rebuild.h"
#include "joint_decoder/channel_change.h"
#include "joint_decoder/coordinate_help.h"
#include "joint_decoder/coordinate_outputs.h"
#include "joint_decoder/decoder_info.h"
#include "joint_decoder/skeleton_outputs.h"

namespace {

constexpr uint32_t kDisplayNameBufferSize = 256;

bool IsNumber(const Value* value) {
  return value != nullptr && (value->mType == kValueTypeInteger || value->mType == kValueTypeFloat);
}

// A double outside float range would be undefined to convert; it saturates
// to infinity instead.
float ToFloat(double number) {
  if (number > FLT_MAX) return INFINITY;
  if (number < -FLT_MAX) return -INFINITY;
  return static_cast<float>(number);
}

void SkeletonArrived(VorlaneParameters* params, ActorInfo* info, DecoderInfo& decoder,
                     const Value* value) {
  const SkeletonPkg* pkg = ValueToSkeleton(value);
  if (pkg == nullptr) return;
  if (pkg->point_count != decoder.mLastPointCount || pkg->label_hash != decoder.mLastLabelHash) {
    GenerateBodyPointMap(params, info);
    decoder.mLastPointCount = pkg->point_count;
    decoder.mLastLabelHash = pkg->label_hash;
    if (decoder.mRelativeToName[0] != 0) {
      decoder.mRelativeToChanged = true;
    } else {
      decoder.mRelativeToIndex = -1;
    }
  }
  SendSkeletonOutputs(params, info, pkg, false);
}

void RelativeToChanged(DecoderInfo& decoder, const Value* value) {
  const char* text = ValueToText(value);
  if (text == nullptr) return;
  const size_t length = strnlen(text, kRelativeToNameSize - 1);
  std::memcpy(decoder.mRelativeToName, text, length);
  decoder.mRelativeToName[length] = 0;
  decoder.mRelativeToChanged = true;
}

}  // namespace

void CBonesplit::HelpString(VorlaneParameters* params, ActorInfo* info, uint8_t kind,
                            uint16_t index, char* buffer, uint32_t size) {
  if (kind == kKindOutput && index >= kFirstVariablePropertyIndex1) {
    if (buffer == nullptr || size == 0) return;
    char name[kDisplayNameBufferSize];
    Host::GetPropertyDisplayName(params, Host::ActorRef(info), kKindOutput, index, name,
                                 sizeof(name));
    ComposeCoordinateHelp(name, index, buffer, size);
    return;
  }
  GetHelpStringFromTable(params, info, kind, index, buffer, size, sHelpStrings, kBonesplitHelpCount);
}

void CBonesplit::Create(VorlaneParameters* params, ActorInfo* info) {
  auto* decoder = static_cast<DecoderInfo*>(
      CreateActorData(params, info, sizeof(DecoderInfo), kBonesplitName));
  if (decoder == nullptr) return;
  decoder->mActorInfo = info;
  // Point 0 is not a reference joint before anyone asked for one.
  decoder->mRelativeToIndex = -1;
}

uint16_t CBonesplit::Dispose(VorlaneParameters* params, ActorInfo* info) {
  if (DecoderInfo* decoder = ActorData<DecoderInfo>(info)) ReleaseBodyPointMap(*decoder);
  return DisposeActorData(params, info, kBonesplitName);
}

void CBonesplit::Activate(VorlaneParameters* params, ActorInfo* info, uint8_t active) {
  DecoderInfo* decoder = ActorData<DecoderInfo>(info);
  if (decoder == nullptr) return;
  if (active == 0) {
    ReleaseBodyPointMap(*decoder);
    return;
  }
  int32_t channels = 0;
  CountCoordinateChannels(params, info, &channels);
  decoder->mChannelCount = channels;
  decoder->mLastPointCount = 0;
  decoder->mLastLabelHash = 0;
  ReleaseBodyPointMap(*decoder);
  decoder->mRelativeToName[0] = 0;
  decoder->mRelativeToChanged = false;
  decoder->mRelativeToIndex = -1;
  decoder->mOffsetX = 0.0f;
  decoder->mOffsetY = 0.0f;
  decoder->mOffsetZ = 0.0f;
}

void CBonesplit::PropertyChanged(VorlaneParameters* params, ActorInfo* info, uint16_t index,
                                 Value*, Value* value, uint8_t) {
  DecoderInfo* decoder = ActorData<DecoderInfo>(info);
  if (decoder == nullptr) return;
  switch (index) {
    case BonesplitInput::kSkeleton:
      SkeletonArrived(params, info, *decoder, value);
      break;
    case BonesplitInput::kChannels:
      if (IsNumber(value)) ChangeChannelCount(params, info, ClampChannelCount(ValueToInteger(value)));
      break;
    case BonesplitInput::kPointSel:
      if (GetCurrentSkeleton(params, info) != nullptr) GenerateBodyPointMap(params, info);
      break;
    case BonesplitInput::kOffsetX:
      if (IsNumber(value)) decoder->mOffsetX = ToFloat(ValueToDouble(value));
      break;
    case BonesplitInput::kOffsetY:
      if (IsNumber(value)) decoder->mOffsetY = ToFloat(ValueToDouble(value));
      break;
    case BonesplitInput::kOffsetZ:
      if (IsNumber(value)) decoder->mOffsetZ = ToFloat(ValueToDouble(value));
      break;
    case BonesplitInput::kRelativeTo:
      RelativeToChanged(*decoder, value);
      break;
    default:
      VORL_ASSERT(params, kBonesplitName, false);
      break;
  }
}

bool CBonesplit::ValueToString(VorlaneParameters*, ActorInfo*, uint8_t kind, uint16_t index,
                               Value*, char* text) {
  return SkeletonPropertyValueToString(kind, index, kKindInput, BonesplitInput::kSkeleton, text);
}
