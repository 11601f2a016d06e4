// The demo's live view: per watcher its frame rate, counts, latency, the
// age of its last frame and its error, then Bonesplit's coordinates and
// each Bonescope's frame rate and render time; redrawn in place on a
// terminal (4 times a second), one block a second as plain lines otherwise.
// It also marks a stream that went silent for the summary.
//
// Thread-safety: none; the loop's thread.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/run/run_observer.h"
#include "tools/demo/demo_options.h"
#include "tools/demo/demo_stream.h"
#include "tools/demo/live_view.h"

namespace vhost {
class CActorInstance;
class CStreamHealthObserver;
}  // namespace vhost
class CDemoPictures;

class CDemoView : public vhost::CRunObserver {
 public:
  CDemoView(const SDemoOptions& options, int port, std::vector<SDemoStream>& streams,
            const vhost::CStreamHealthObserver& health, const CDemoPictures& pictures, vhost::CActorInstance& split,
            bool terminal);

  void OnTick(vhost::CRunLoop& loop, uint64_t mark, Clock::time_point start, Clock::time_point end) override;
  void OnStep(vhost::CRunLoop& loop) override;

 private:
  void Show(vhost::CRunLoop& loop, double now);

  const SDemoOptions& mOptions;
  int mPort;
  std::vector<SDemoStream>& mStreams;
  const vhost::CStreamHealthObserver& mHealth;
  const CDemoPictures& mPictures;
  vhost::CActorInstance& mSplit;
  CLiveView mView;
  double mPeriod;
  double mNextView = 0;
  double mLastView = 0;
  std::map<std::string, double> mSplitValues;  // Bonesplit output name -> last value
  struct SRates {
    uint64_t mFramesAtLastView = 0;
    uint64_t mReceivedAtLastView = 0;
    double mFps = 0, mScopeFps = 0;
  };
  std::vector<SRates> mRates;  // per stream
};
