// The demo's pictures: counts each Bonescope's frames and, once skeletons
// arrive, keeps every Nth frame as a numbered PNG file and a reduced copy
// for the contact sheet and the animation. Also times the renders.
//
// Frames are read back on the host's thread right after their render;
// encoding, writing and reducing run on a picture worker, whose queue is
// bounded: a frame that finds it full is dropped and counted, and the tick
// is never held up. The contact sheet and the GIF are made on the worker
// too, after the run.
//
// Thread-safety: the loop's thread; the worker touches only the kept rows
// and the counts of frames written, under a lock.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "host/run/picture_worker.h"
#include "host/run/run_observer.h"
#include "tools/demo/demo_stream.h"

namespace vhost {
class CGLImageBufferBackend;
}

class CDemoPictures : public vhost::CRunObserver {
 public:
  // `save`: false counts frames only (the soak).
  CDemoPictures(std::vector<SDemoStream>& streams, vhost::CGLImageBufferBackend& gl, std::string framesFolder,
                int saveEvery, bool save);

  void OnRender(vhost::CRunLoop& loop, uint64_t mark, Clock::time_point start, Clock::time_point end) override;
  // Waits for the pictures still queued, then moves the counts and the kept
  // frames into the streams.
  void OnFinish(vhost::CRunLoop& loop) override;
  // Mean time of a render request (every Bonescope), in milliseconds.
  double RenderMs(const vhost::CRunLoop& loop) const;
  // PNG files written so far for stream `i`.
  uint64_t FramesSaved(size_t i) const;
  // Runs `job` on the worker after everything queued and waits for it.
  void RunOnWorker(const std::function<void()>& job);

 private:
  std::vector<SDemoStream>& mStreams;
  vhost::CGLImageBufferBackend& mGL;
  std::string mFolder;
  uint64_t mSaveEvery;
  bool mSave;
  double mRenderSeconds = 0;
  mutable std::mutex mMutex;
  std::vector<uint64_t> mWritten;  // per stream; guarded by mMutex
  std::vector<SFrameRow> mKept;    // per stream; guarded by mMutex
  std::vector<uint64_t> mQueued;   // per stream: file numbers given out
  vhost::CPictureWorker mWorker;   // last: its jobs use the members above
};
