// Keeps each watcher's stream health (host/stream_health.h) up to date
// through a run: tracking starts with the run's clock, and the counts take
// in every step. Without the watcher's properties it tracks nothing.
//
// Thread-safety: none; the loop's thread.
#pragma once

#include <optional>
#include <vector>

#include "host/run/run_loop.h"
#include "host/run/run_observer.h"
#include "host/stream_health.h"

namespace vhost {

class CStreamHealthObserver : public CRunObserver {
 public:
  explicit CStreamHealthObserver(std::optional<CWatcherStreamProperties> properties, double silence = 2.0) {
    if (properties) mHealth.emplace(*properties, silence);
  }

  void OnStart(CRunLoop& loop) override {
    if (mHealth) mHealth->TrackWatchers(loop.Host(), 0.0);
  }
  void OnStep(CRunLoop& loop) override {
    if (mHealth) mHealth->Update(loop.Host(), loop.Seconds());
  }
  void OnFinish(CRunLoop& loop) override {
    if (mHealth && loop.Started()) mHealth->Update(loop.Host(), loop.Seconds());
  }

  const std::vector<CWatcherHealth>& Watchers() const { return mHealth ? mHealth->Watchers() : mNone; }
  double Silence() const { return mHealth ? mHealth->Silence() : 0.0; }

 private:
  std::optional<CStreamHealth> mHealth;
  std::vector<CWatcherHealth> mNone;
};

}  // namespace vhost
