// A patch's `save` lines: the video frames an output sends, as numbered PNG
// files. Frames count from the first render that has data to draw (an
// instance with data inputs waits until one of them holds a package), and
// every EVERY-th of them is kept.
//
// A frame is read on the host's thread, right after the render that sent
// it (it is valid only until the next one); encoding and writing the file
// happen on a picture worker. When the worker is behind, the frame is left
// out and counted, and the tick goes on; an unpaced run (time counted in
// ticks) waits for the worker instead.
//
// Thread-safety: the loop's thread; the worker only runs the writes.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "host/run/patch.h"
#include "host/run/picture_worker.h"
#include "host/run/run_observer.h"
#include "host/run/run_report.h"

namespace vhost {

class CPatchInstances;

// Writes a picture to a file; false with the reason in `error`. Runs on the
// picture worker.
using FWritePicture = std::function<bool(const std::string& path, std::string* error)>;
// Reads a video frame (as sent on an output) on the host's thread and gives
// the work that writes it to `path`; empty with the reason in `error` when
// the frame cannot be read.
using FSaveFrame = std::function<FWritePicture(const void* frame, std::string* error)>;

class CFrameSaver : public CRunObserver {
 public:
  // `out`: where the first failure of each save line is reported.
  // `queue`: pictures that may wait for the worker.
  CFrameSaver(const CPatch& patch, CPatchInstances& instances, FSaveFrame save, std::ostream& out,
              size_t queue = 16);

  // Makes each folder and removes an earlier run's frames of the same
  // output from it. Throws CPatchError.
  void Prepare();
  void OnRender(CRunLoop& loop, uint64_t mark, Clock::time_point start, Clock::time_point end) override;
  // Waits for the pictures still queued.
  void OnFinish(CRunLoop& loop) override;
  // REQUIRES: OnFinish() done (the counts are final).
  std::vector<CSavedFrames> Results() const;

 private:
  struct CSaveState {
    uint64_t mFramesSeen = 0;
    uint64_t mFilesQueued = 0;   // numbers given out
    uint64_t mFilesWritten = 0;  // guarded by mMutex
    uint64_t mDropped = 0;
    bool mFailed = false;        // guarded; the first failure is reported, later ones are not
    std::string mFailure;        // guarded; not yet reported
    bool mArmed = false;         // the instance has data to draw
  };

  std::string Directory(const CPatchSave& save) const;
  void Fail(size_t index, const std::string& path, const std::string& error);
  // Reports failures the worker met (on the loop's thread).
  void ReportFailures();

  const CPatch& mPatch;
  CPatchInstances& mInstances;
  FSaveFrame mSave;
  std::ostream& mOut;
  mutable std::mutex mMutex;
  std::vector<CSaveState> mStates;  // one per mPatch.mSaves entry
  CPictureWorker mWorker;           // last: its jobs use the members above
};

}  // namespace vhost
