// A patch's `save` lines: the video frames an output sends, as numbered PNG
// files. Frames count from the first render that has data to draw (an
// instance with data inputs waits until one of them holds a package), and
// every EVERY-th of them is written.
//
// Thread-safety: none; the loop's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "host/run/patch.h"
#include "host/run/run_observer.h"
#include "host/run/run_report.h"

namespace vhost {

class CPatchInstances;

// Writes a video frame (as sent on an output) to a PNG file; false with the
// reason in `error` when it cannot.
using FSaveFrame = std::function<bool(const void* frame, const std::string& path, std::string* error)>;

class CFrameSaver : public CRunObserver {
 public:
  // `out`: where the first failure of each save line is reported.
  CFrameSaver(const CPatch& patch, CPatchInstances& instances, FSaveFrame save, std::ostream& out);

  // Makes each folder and removes an earlier run's frames of the same
  // output from it. Throws CPatchError.
  void Prepare();
  void OnRender(CRunLoop& loop, uint64_t mark, Clock::time_point start, Clock::time_point end) override;
  std::vector<CSavedFrames> Results() const;

 private:
  struct CSaveState {
    uint64_t mFramesSeen = 0;
    uint64_t mFilesWritten = 0;
    bool mFailed = false;  // the first failure is reported, later ones are not
    bool mArmed = false;   // the instance has data to draw
  };

  std::string Directory(const CPatchSave& save) const;

  const CPatch& mPatch;
  CPatchInstances& mInstances;
  FSaveFrame mSave;
  std::ostream& mOut;
  std::vector<CSaveState> mStates;  // one per mPatch.mSaves entry
};

}  // namespace vhost
