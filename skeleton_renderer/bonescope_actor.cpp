#include "skeleton_renderer/bonescope_actor.h"

#include <GL/glu.h>

#include <cstring>
#include <new>

#include "framework/actor_assert.h"
#include "framework/actor_data.h"
#include "framework/actor_entry_points.h"
#include "framework/host_services.h"
#include "framework/value_access.h"
#include "skeleton_renderer/image_buffer_record.h"
#include "skeleton_renderer/skeleton_scene.h"
#include "skeleton_renderer/video_helper.h"

namespace {

constexpr const char* kObjectTypeNames[2] = {"polygon", "sphere"};

RendererData& DataOf(ActorInfo* info) { return *ActorData<RendererData>(info); }

// The low 32 bits of the integer reading. A host that sends a float for an
// integer property gets it converted rather than reinterpreted.
int32_t PayloadInt32(const Value* value) {
  return static_cast<int32_t>(static_cast<uint32_t>(ValueToInteger(value)));
}

double PayloadDouble(const Value* value) { return ValueToDouble(value); }

bool IsTracked(const SkeletonPkg* skeleton) {
  return skeleton != nullptr && (skeleton->tracking_state == kSkeletonTrackingBegun ||
                                 skeleton->tracking_state == kSkeletonTracked);
}

}  // namespace

void CBonescopeActor::Create(VorlaneParameters* params, ActorInfo* info) {
  void* block = CreateActorData(params, info, sizeof(RendererData), kDisplayName);
  if (block == nullptr) return;
  DataOf(info).mActorInfo = info;
}

uint16_t CBonescopeActor::Dispose(VorlaneParameters* params, ActorInfo* info) {
  // Deactivation normally released everything already; a host that skips it
  // must not keep a receiver whose refcon is about to lose its data block.
  if (RendererData* data = ActorData<RendererData>(info)) Deactivate(params, *data);
  return DisposeActorData(params, info, kDisplayName);
}

void CBonescopeActor::Activate(VorlaneParameters* params, ActorInfo* info, uint8_t active) {
  RendererData& data = DataOf(info);
  // A host that activates twice in a row would otherwise leave the first
  // receiver, helper and quadrics behind.
  Deactivate(params, data);
  if (active == 0) return;

  data.mReceiverHandle = Host::RegisterMessageReceiver(
      params, &CActorEntryPoints<CBonescopeActor>::ReceiveMessage, kBonescopeMessageMask, nullptr,
      info);
  data.mVideoHelper = new CVideoHelper(params, info, 0, kBonescopeVideoOutput, 1);
  data.mVideoHelper->SetMode(kVideoModeFlag2);
  data.mDiskQuadric = nullptr;
  data.mContextNumber = 0;
  data.mSphereQuadric = nullptr;
}

void CBonescopeActor::Deactivate(VorlaneParameters* params, RendererData& data) {
  if (data.mReceiverHandle != nullptr) {
    Host::UnregisterMessageReceiver(params, data.mReceiverHandle);
    data.mReceiverHandle = nullptr;
  }
  if (data.mVideoHelper != nullptr) {
    delete data.mVideoHelper;
    data.mVideoHelper = nullptr;
  }
  if (data.mDiskQuadric != nullptr) {
    gluDeleteQuadric(data.mDiskQuadric);
    data.mDiskQuadric = nullptr;
  }
  if (data.mSphereQuadric != nullptr) {
    gluDeleteQuadric(data.mSphereQuadric);
    data.mSphereQuadric = nullptr;
  }
}

void CBonescopeActor::PropertyChanged(VorlaneParameters* params, ActorInfo* info, uint16_t index,
                                      Value*, Value* value, uint8_t) {
  RendererData& data = DataOf(info);
  namespace In = BonescopeInput;
  switch (index) {
    case In::kSkeleton: {
      const void* package = ValueToData(value);
      data.mSkeleton = IsSkeletonPkg(package) ? static_cast<const SkeletonPkg*>(package) : nullptr;
      break;
    }
    case In::kObjectType: data.mObjectType = PayloadInt32(value); break;
    case In::kWidth: data.mWidth = PayloadInt32(value); break;
    case In::kHeight: data.mHeight = PayloadInt32(value); break;
    case In::kObjectSize: data.mObjectSize = PayloadDouble(value) / 100.0; break;
    case In::kObjectIntensity: data.mObjectIntensity = PayloadDouble(value) / 100.0; break;
    case In::kObjectSides: data.mObjectSides = ValueToInteger(value); break;
    case In::kObjectRotX: data.mObjectRotX = static_cast<float>(PayloadDouble(value)); break;
    case In::kObjectRotY: data.mObjectRotY = static_cast<float>(PayloadDouble(value)); break;
    case In::kObjectRotZ: data.mObjectRotZ = static_cast<float>(PayloadDouble(value)); break;
    case In::kCameraRotX: data.mCameraRotX = static_cast<float>(PayloadDouble(value)); break;
    case In::kCameraRotY: data.mCameraRotY = static_cast<float>(PayloadDouble(value)); break;
    case In::kCameraRotZ: data.mCameraRotZ = static_cast<float>(PayloadDouble(value)); break;
    case In::kCameraTransX: data.mCameraTransX = static_cast<float>(PayloadDouble(value)); break;
    case In::kCameraTransY: data.mCameraTransY = static_cast<float>(PayloadDouble(value)); break;
    case In::kCameraTransZ: data.mCameraTransZ = static_cast<float>(PayloadDouble(value)); break;
    case In::kLighting: data.mLighting = ValueToSwitch(value) ? 1 : 0; break;
    case In::kRenderBack: data.mRenderBack = ValueToSwitch(value) ? 1 : 0; break;
    case In::kDepthTest: data.mDepthTest = ValueToSwitch(value) ? 1 : 0; break;
    case In::kDrawOrigin: data.mDrawOrigin = ValueToSwitch(value) ? 1 : 0; break;
    case In::kOriginSize: data.mOriginSize = PayloadDouble(value); break;
    default: VORL_ASSERT(params, kDisplayName, false); break;
  }
}

bool CBonescopeActor::ValueToString(VorlaneParameters* params, ActorInfo*, uint8_t kind,
                                    uint16_t index, Value* value, char* text) {
  if (SkeletonPropertyValueToString(kind, index, kKindInput, BonescopeInput::kSkeleton, text)) {
    return true;
  }
  if (kind != kKindInput || index != BonescopeInput::kObjectType || value == nullptr) return false;
  const uint64_t type = ValueBits(value);
  if (type < std::size(kObjectTypeNames)) {
    std::strcpy(text, kObjectTypeNames[type]);
  } else {
    VORL_ASSERT(params, kDisplayName, false);
  }
  return true;
}

bool CBonescopeActor::StringToValue(VorlaneParameters* params, ActorInfo*, uint8_t kind,
                                    uint16_t index, const char* text, Value* value) {
  if (kind != kKindInput || index != BonescopeInput::kObjectType) return false;
  if ((text[0] == '0' || text[0] == '1') && text[1] == 0) {
    *value = MakeIntegerValue(text[0] - '0');
    return true;
  }
  const int32_t found =
      Host::FindStringInList(params, std::size(kObjectTypeNames), kObjectTypeNames, text);
  if (found < 0) return false;
  *value = MakeIntegerValue(found);
  return true;
}

intptr_t CBonescopeActor::ReceiveMessage(VorlaneParameters* params, uint32_t kind, uint16_t arg,
                                         const uint8_t* data, uint32_t, ActorInfo* info) {
  RendererData& renderer = DataOf(info);
  // Only an active instance has a helper; a late message finds none.
  if (renderer.mVideoHelper == nullptr) return 0;
  if ((kind & kBonescopeContextLost) != 0) {
    return renderer.mVideoHelper->HandleContextLost(reinterpret_cast<const int32_t*>(data)) ? 1
                                                                                           : 0;
  }
  void* token = Host::BeginVideoRender(params, &renderer, kind, arg, data);
  DrawSkeleton(params, renderer);
  return Host::EndVideoRender(params, token);
}

void CBonescopeActor::DrawSkeleton(VorlaneParameters* params, RendererData& data) {
  CVideoHelper& helper = *data.mVideoHelper;
  void* ref = Host::ActorRef(data.mActorInfo);
  helper.PrepareOutputBuffers(data.mContextNumber, VideoImageSize{data.mWidth, data.mHeight},
                              false, true);
  void* buffer = helper.Buffer(0);
  if (buffer == nullptr) {
    helper.SendEmptyOutput();
    return;
  }
  if (Host::BeginImageBufferDraw(params, ref, buffer, 1) == 0) return;
  if (IsTracked(data.mSkeleton)) DrawSkeletonScene(data, *data.mSkeleton);
  void* frame = Host::EndImageBufferDraw(params, ref, buffer);
  void* texture = VideoFrameTextureRecord(frame);
  if (texture == nullptr) return;
  MarkTextureRecord(texture);
  Value output = MakeDataValue(frame);
  helper.SendOutput(&output);
}
