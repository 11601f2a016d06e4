// The run loop: the clock, the ticks, the render schedule and the end of a
// run (duration, tick count, an interrupt, or an observer such as a closed
// window), with observers that watch it.
//
// Ticks come at the schedule's rate (paced: on the steady clock, n / rate
// after the start; unpaced: one after the other, time counted in ticks).
// Render requests fall due at n / render rate seconds. A request goes to
// one video actor at a time: the first right after the tick it fell due on,
// the others in the gaps before the next ticks, so a tick (which hands the
// watchers their frames) never waits for more than one actor's render. A
// request is complete before the next one starts; requests that fall due
// while more are waiting than one tick period holds are dropped and counted,
// so a rate the run cannot serve never grows a backlog. Unpaced runs deliver
// each request to every actor at once.
//
// Thread-safety: one thread drives a loop; `stop` may be set from any thread
// (a signal handler) to end Run() after the current tick.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "host/run/run_observer.h"

namespace vhost {

class CHost;

struct CRunSchedule {
  double mTickRate = 60.0;              // ticks per second
  double mRenderRate = 0.0;             // render requests per second; 0: none
  std::optional<double> mDuration;      // seconds
  std::optional<uint64_t> mTickLimit;   // ticks
  bool mPaced = true;                   // false: as fast as possible
};

class CRunLoop {
 public:
  using Clock = std::chrono::steady_clock;

  // REQUIRES: `host` outlives the loop; its instances are live and active.
  CRunLoop(CHost& host, const CRunSchedule& schedule);
  CRunLoop(const CRunLoop&) = delete;
  CRunLoop& operator=(const CRunLoop&) = delete;

  // Observers are called in the order added. REQUIRES: each outlives the loop.
  void Add(CRunObserver& observer);

  // Steps until the end, drains while an observer asks for it, then calls
  // OnFinish. Idempotent once finished.
  void Run(const std::atomic<bool>* stop = nullptr);
  // One tick and the renders that follow it at once; false once the
  // duration or the tick count is reached.
  bool Step();
  // Completes the render request under way, then OnFinish. Idempotent.
  void Finish();

  CHost& Host() { return mHost; }
  const CRunSchedule& Schedule() const { return mSchedule; }
  // Seconds since the first tick (wall time when paced, tick time when not).
  double Seconds() const;
  bool Started() const { return mStarted; }
  bool Ending() const { return mEnding; }
  uint64_t RendersSent() const { return mRendersSent; }
  uint64_t RendersDropped() const { return mRendersDropped; }

 private:
  void Start();
  void ScheduleRenders(double now);
  // Delivers the next waiting render to one actor; false when none waits.
  bool RenderNext();
  void RenderAll();
  bool AnyWantsEnd();
  bool AnyDraining();
  void BeginEnding();

  CHost& mHost;
  CRunSchedule mSchedule;
  std::vector<CRunObserver*> mObservers;
  Clock::time_point mStart;
  bool mStarted = false;
  bool mEnding = false;
  bool mFinished = false;
  uint64_t mRenderSlots = 0;     // requests due so far
  uint64_t mRequestsWaiting = 0;  // due, not begun
  std::deque<void*> mReceivers;  // the request under way: actors still to render
  uint64_t mRendersSent = 0;
  uint64_t mRendersDropped = 0;
};

}  // namespace vhost
