#include "tools/demo/stream_latency.h"

#include <cstring>

#include "host/host.h"
#include "host/run/run_loop.h"

void CStreamLatency::OnTick(vhost::CRunLoop& loop, uint64_t mark, Clock::time_point, Clock::time_point) {
  const int64_t now =
      std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
  for (SDemoStream& stream : mStreams) {
    for (const vhost::COutputRecord* record : loop.Host().OutputsSince(mark, stream.mWatcher, "skel")) {
      if (!record->mSkeleton || record->mSkeleton->mTrackingState == 0) continue;
      stream.mSkeletonsArrived = true;
      for (const vhost::CSkeletonPoint& point : record->mSkeleton->mPoints) {
        if (point.mName != "hip") continue;
        uint32_t x = 0;
        uint32_t z = 0;
        std::memcpy(&x, &point.mX, 4);
        std::memcpy(&z, &point.mZ, 4);
        if (const auto sent = stream.mSimulator->TakeSendTime(x, z)) {
          stream.mLatency.Add(static_cast<double>(now - *sent) / 1e6);
        }
      }
    }
  }
}
