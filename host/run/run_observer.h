// What watches a run: the interface a run loop calls at each point of its
// schedule. The text live view, the JSON Lines report, stream health, frame
// saving, expectations and a live window are each one observer; a program is
// a patch plus the observers it wants.
//
// Every call comes on the thread that drives the loop (the host's thread),
// between calls into the plug-ins, so an observer may read the host, its
// recorder and the frames just sent. Observers are called in the order they
// were added; each default does nothing.
//
// Thread-safety: none needed; see above.
#pragma once

#include <chrono>
#include <cstdint>

namespace vhost {

class CRunLoop;

class CRunObserver {
 public:
  using Clock = std::chrono::steady_clock;

  CRunObserver() = default;
  CRunObserver(const CRunObserver&) = delete;
  CRunObserver& operator=(const CRunObserver&) = delete;
  virtual ~CRunObserver() = default;

  // Once, just before the first tick; the clock starts here.
  virtual void OnStart(CRunLoop& loop) { (void)loop; }
  // After every tick. The records after `mark` are what the tick made the
  // plug-ins send; `start` and `end` bracket the tick message.
  virtual void OnTick(CRunLoop& loop, uint64_t mark, Clock::time_point start, Clock::time_point end) {
    (void)loop, (void)mark, (void)start, (void)end;
  }
  // After every render request delivered to one receiver (one video actor);
  // a frame sent after `mark` is valid until that actor's next render.
  virtual void OnRender(CRunLoop& loop, uint64_t mark, Clock::time_point start, Clock::time_point end) {
    (void)loop, (void)mark, (void)start, (void)end;
  }
  // After each step: a tick and whatever render followed it at once.
  virtual void OnStep(CRunLoop& loop) { (void)loop; }
  // Asked before each tick: true ends the run (a window closed, a stream
  // that cannot work). An interrupt, the duration and the tick count end it
  // without asking.
  virtual bool WantsEnd(CRunLoop& loop) { return (void)loop, false; }
  // Once the end is decided. The loop then goes on ticking, without render
  // requests, while any observer says Draining() (frames still on their way).
  virtual void OnEnding(CRunLoop& loop) { (void)loop; }
  virtual bool Draining(CRunLoop& loop) { return (void)loop, false; }
  // Once, after the last tick; the instances are still live.
  virtual void OnFinish(CRunLoop& loop) { (void)loop; }
  // Around each sleep of a paced loop: `due` is the time it slept until.
  virtual void OnSleeping(Clock::time_point when) { (void)when; }
  virtual void OnWoke(Clock::time_point due, Clock::time_point woke) { (void)due, (void)woke; }
};

}  // namespace vhost
