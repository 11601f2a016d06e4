// A worker thread for the slow part of keeping pictures (PNG and GIF
// encoding, writing files), so that the thread that ticks the host never
// waits for it.
//
// The queue is bounded: when the worker falls behind, TrySubmit() refuses
// the job at once (the caller counts a dropped frame) instead of holding up
// the caller or growing without limit. Jobs run in the order submitted.
//
// Thread-safety: TrySubmit() and Drain() from one thread at a time (the
// host's); the jobs run on the worker's own thread and must not touch the
// host, its plug-ins or a GL context.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace vhost {

class CPictureWorker {
 public:
  // `capacity`: jobs that may wait (one more may be running). REQUIRES: > 0.
  explicit CPictureWorker(size_t capacity);
  CPictureWorker(const CPictureWorker&) = delete;
  CPictureWorker& operator=(const CPictureWorker&) = delete;
  // Runs what is queued, then stops the thread.
  ~CPictureWorker();

  // Queues `job`; false (and the job is not run) when the queue is full.
  bool TrySubmit(std::function<void()> job);
  // Returns once every job submitted so far has run.
  void Drain();

 private:
  void Work();

  const size_t mCapacity;
  std::mutex mMutex;
  std::condition_variable mWake;   // a job came, or stop
  std::condition_variable mIdle;   // the queue emptied and no job runs
  std::deque<std::function<void()>> mJobs;  // guarded by mMutex
  bool mBusy = false;                       // guarded by mMutex
  bool mStop = false;                       // guarded by mMutex
  std::thread mThread;  // last: starts once the rest is ready
};

}  // namespace vhost
