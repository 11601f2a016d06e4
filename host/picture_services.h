// The actor picture services: LoadActorPicture fills a picture record with
// the size the switches give, DrawActorPicture checks that the record it is
// handed was loaded. Both are counted.
//
// Thread-safety: the host's main thread only.
#pragma once

#include <cstdint>

#include "host/service_context.h"

struct ActorInfo;
struct PictInfo;
struct Rect;

namespace vhost {

class CPictureServices {
 public:
  struct CSwitches {
    bool mPictureUnavailable = false;  // LoadActorPicture leaves the record unloaded
    uint16_t mPictureWidth = 64;       // what LoadActorPicture reports
    uint16_t mPictureHeight = 48;
  };
  struct CCounters {
    uint64_t mPictureLoads = 0;
    uint64_t mPictureDraws = 0;
    uint8_t mLastPictureDrawState = 0;
  };

  explicit CPictureServices(CServiceContext context) : mContext(std::move(context)) {}

  // ---- Service handlers (rows of the service list) ----
  void LoadActorPicture(ActorInfo* info, uint32_t zero, PictInfo* pict);
  void DrawActorPicture(ActorInfo* info, uint8_t state, Rect* area, PictInfo* pict);

  CSwitches& Switches() { return mSwitches; }
  const CCounters& Counters() const { return mCounters; }

 private:
  CServiceContext mContext;
  CSwitches mSwitches;
  CCounters mCounters;
};

}  // namespace vhost
