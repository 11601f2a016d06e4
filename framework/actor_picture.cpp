#include "framework/actor_picture.h"

#include "framework/host_services.h"

PictInfo gPictInfo{};

uint8_t GetActorPictureArea(VorlaneParameters* params, ActorInfo* info, int16_t* width,
                            int16_t* height, int16_t* third, int16_t* fourth) {
  if (gPictInfo.mLoaded == 0) Host::LoadActorPicture(params, info, &gPictInfo);
  if (width != nullptr) *width = static_cast<int16_t>(gPictInfo.mWidth);
  if (height != nullptr) *height = static_cast<int16_t>(gPictInfo.mHeight);
  if (third != nullptr) *third = 0;
  if (fourth != nullptr) *fourth = 0;
  return 1;
}

void DrawActorPictureArea(VorlaneParameters* params, ActorInfo* info, uint16_t part, Rect* area,
                          uint8_t state, bool loadedWhenNonZero) {
  const bool loaded = loadedWhenNonZero ? gPictInfo.mLoaded != 0 : gPictInfo.mLoaded == 1;
  if (part == 1 && loaded) Host::DrawActorPicture(params, info, state, area, &gPictInfo);
}
