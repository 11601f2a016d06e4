#include "tools/demo/simulator_drain.h"

#include "host/host.h"
#include "host/run/run_loop.h"
#include "host/run/stream_health_observer.h"
#include "tools/demo/interrupt.h"

namespace {

// After the simulators stop: frames still on their way get this long.
constexpr double kDrainSeconds = 1.0;

}  // namespace

CSimulatorDrain::CSimulatorDrain(std::vector<SDemoStream>& streams, const vhost::CStreamHealthObserver& health)
    : mStreams(streams), mHealth(health) {}

void CSimulatorDrain::OnStep(vhost::CRunLoop& loop) { loop.Host().Recorder().Clear(); }

bool CSimulatorDrain::WantsEnd(vhost::CRunLoop& loop) {
  // A watcher that could not bind shows nothing worth waiting for.
  bool failed = false;
  for (const vhost::CWatcherHealth& h : mHealth.Watchers()) failed = failed || !h.mError.empty();
  return Interrupted() || (failed && loop.Seconds() > 0.5);
}

void CSimulatorDrain::OnEnding(vhost::CRunLoop& loop) {
  mStoppedAt = loop.Seconds();
  for (SDemoStream& stream : mStreams) stream.mSimulator->Stop();
}

bool CSimulatorDrain::Draining(vhost::CRunLoop& loop) {
  if (Interrupted() || loop.Seconds() - mStoppedAt >= kDrainSeconds) return false;
  const auto& health = mHealth.Watchers();
  for (size_t i = 0; i < mStreams.size() && i < health.size(); ++i)
    if (health[i].mReceived < mStreams[i].mSimulator->Sent()) return true;
  return false;
}
