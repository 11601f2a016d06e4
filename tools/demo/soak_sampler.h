// The soak's measurements during a run: after the warm-up it samples this
// process's resident memory and the host's ledgers, then the peak resident
// memory once a second, and times every tick, render and sleep.
//
// Comes after the observer that empties the host's recorder, so a sample
// sees only what the host holds on to.
//
// Thread-safety: none; the loop's thread.
#pragma once

#include "host/run/run_observer.h"
#include "tools/demo/soak_verdict.h"
#include "tools/demo/tick_timing.h"

namespace vhost {
class CHost;
}

// What the soak samples: this process's memory and the host's ledgers.
SSoakSample TakeSoakSample(vhost::CHost& host, double seconds);

class CSoakSampler : public vhost::CRunObserver {
 public:
  CSoakSampler(double warmup, double tickRate);

  void OnTick(vhost::CRunLoop& loop, uint64_t mark, Clock::time_point start, Clock::time_point end) override;
  void OnRender(vhost::CRunLoop& loop, uint64_t mark, Clock::time_point start, Clock::time_point end) override;
  void OnStep(vhost::CRunLoop& loop) override;
  void OnSleeping(Clock::time_point when) override { mTiming.Sleeping(when); }
  void OnWoke(Clock::time_point due, Clock::time_point woke) override { mTiming.Woke(due, woke); }

  bool Measuring() const { return mMeasuring; }
  const CTickTiming& Timing() const { return mTiming; }
  // The figures so far: the start sample, the peak memory, the UDP errors.
  SSoakFigures& Figures() { return mFigures; }

 private:
  double mWarmup;
  CTickTiming mTiming;
  SSoakFigures mFigures;
  bool mMeasuring = false;
  double mNextRssSample = 0;
};
