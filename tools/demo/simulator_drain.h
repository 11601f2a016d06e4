// Ends the demo's run and lets the last frames in: the run ends early on
// Ctrl-C, or when a watcher reports an error (nothing worth waiting for);
// at the end the simulators stop and the loop keeps ticking, for at most a
// second, until every frame they sent has come. It also empties the host's
// recorder after every step: everything recorded is taken in by then, and a
// long run keeps none of it.
//
// Thread-safety: none; the loop's thread.
#pragma once

#include <vector>

#include "host/run/run_observer.h"
#include "tools/demo/demo_stream.h"

namespace vhost {
class CStreamHealthObserver;
}

class CSimulatorDrain : public vhost::CRunObserver {
 public:
  CSimulatorDrain(std::vector<SDemoStream>& streams, const vhost::CStreamHealthObserver& health);

  void OnStep(vhost::CRunLoop& loop) override;
  bool WantsEnd(vhost::CRunLoop& loop) override;
  void OnEnding(vhost::CRunLoop& loop) override;
  bool Draining(vhost::CRunLoop& loop) override;
  // When the simulators were stopped (seconds of the run).
  double StoppedAt() const { return mStoppedAt; }

 private:
  std::vector<SDemoStream>& mStreams;
  const vhost::CStreamHealthObserver& mHealth;
  double mStoppedAt = 0;
};
