// Keeps each watcher's stream health (host/stream_health.h) up to date
// through a run: tracking starts with the run's clock, and the counts take
// in every step.
//
// Thread-safety: none; the loop's thread.
#pragma once

#include "host/run/run_loop.h"
#include "host/run/run_observer.h"
#include "host/stream_health.h"

namespace vhost {

class CStreamHealthObserver : public CRunObserver {
 public:
  explicit CStreamHealthObserver(double silence = 2.0) : mHealth(silence) {}

  void OnStart(CRunLoop& loop) override { mHealth.TrackWatchers(loop.Host(), 0.0); }
  void OnStep(CRunLoop& loop) override { mHealth.Update(loop.Host(), loop.Seconds()); }
  void OnFinish(CRunLoop& loop) override {
    if (loop.Started()) mHealth.Update(loop.Host(), loop.Seconds());
  }

  const std::vector<CWatcherHealth>& Watchers() const { return mHealth.Watchers(); }
  double Silence() const { return mHealth.Silence(); }

 private:
  CStreamHealth mHealth;
};

}  // namespace vhost
