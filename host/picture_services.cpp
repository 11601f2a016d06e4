#include "host/picture_services.h"

#include "host/record_layout.h"

namespace vhost {

void CPictureServices::LoadActorPicture(ActorInfo*, uint32_t, PictInfo* pict) {
  ++mCounters.mPictureLoads;
  if (pict == nullptr) {
    mContext.mReport("LoadActorPicture with a null picture record");
    return;
  }
  if (mSwitches.mPictureUnavailable) return;
  layout::WriteAt<uint8_t>(pict, layout::kPictureLoaded, 1);
  layout::WriteAt(pict, layout::kPictureWidth, mSwitches.mPictureWidth);
  layout::WriteAt(pict, layout::kPictureHeight, mSwitches.mPictureHeight);
}

void CPictureServices::DrawActorPicture(ActorInfo*, uint8_t state, Rect*, PictInfo* pict) {
  ++mCounters.mPictureDraws;
  mCounters.mLastPictureDrawState = state;
  if (pict == nullptr || layout::ReadAt<uint8_t>(pict, layout::kPictureLoaded) == 0) {
    mContext.mReport("DrawActorPicture with a picture record that is not loaded");
  }
}

}  // namespace vhost
