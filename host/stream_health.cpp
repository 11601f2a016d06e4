#include "host/stream_health.h"

#include <fmt/format.h>

#include <cmath>

#include "host/actor_instance.h"
#include "host/host.h"

namespace vhost {
std::string CWatcherHealth::Summary() const {
  std::string text = fmt::format("{}: {} frame(s)", mName, mReceived);
  if (mCounters) {
    text += fmt::format(", {} rejected, {} dropped", mCounters->mDatagramsRejected, mCounters->mMessagesDropped);
  }
  text += mLastFrame ? fmt::format(", last {:.2f} s ago", mAge) : std::string(", none yet");
  text += fmt::format(", error '{}'", mError);
  return text;
}

bool CStreamHealth::IsWatcher(const CActorInstance& instance) const {
  return instance.FindOutput(mProperties.mReceived) != 0 && instance.FindInput(mProperties.mPort) != 0;
}

void CStreamHealth::TrackWatchers(CHost& host, double now) {
  for (const CActorInstance* instance : host.Instances()) {
    if (!instance->IsLive() || !IsWatcher(*instance)) continue;
    bool known = false;
    for (const auto& tracked : mTracked) known = known || tracked.mInstance == instance;
    if (known) continue;
    mTracked.push_back({instance, now, host.Mark()});
    CWatcherHealth health;
    health.mName = instance->Name();
    mHealth.push_back(std::move(health));
  }
  Update(host, now);
}

void CStreamHealth::Update(const CHost& host, double now) {
  for (size_t i = 0; i < mTracked.size(); ++i) {
    CTracked& tracked = mTracked[i];
    CWatcherHealth& health = mHealth[i];
    const CActorInstance& instance = *tracked.mInstance;
    if (const uint16_t port = instance.FindInput(mProperties.mPort)) {
      health.mPort = instance.Input(port).mValue.AsInteger();
    }
    if (const uint16_t out = instance.FindOutput(mProperties.mReceived)) {
      const std::string& id = instance.Output(out).mDescriptor.mID;
      const auto fresh = host.OutputsSince(tracked.mMark, &instance, id);
      if (!fresh.empty()) {
        health.mReceived += fresh.size();
        health.mLastFrame = now;
      }
    }
    tracked.mMark = host.Mark();
    if (const uint16_t error = instance.FindOutput(mProperties.mError)) {
      health.mError = instance.Output(error).mValue.Text().value_or("");
    }
    health.mCounters = ReadWatcherStreamCounters(host, instance);
    health.mAge = now - health.mLastFrame.value_or(tracked.mSince);
    health.mHint.clear();
    if (!health.mError.empty() || health.mAge < mSilence) continue;
    if (health.mPort == 0) {
      health.mHint = "port 0: the watcher is off; give recv_ip_port the port the sender sends to";
    } else if (health.mCounters && health.mCounters->mDatagramsRejected > 0 && !health.mLastFrame) {
      health.mHint = fmt::format(
          "datagrams on port {} but no frame for {:.0f} s: {} rejected; does suit_id match the sender?",
          health.mPort, std::floor(health.mAge), health.mCounters->mDatagramsRejected);
    } else {
      health.mHint = fmt::format(
          "no data on port {} for {:.0f} s: is the sender running, and is this the port it sends to?", health.mPort,
          std::floor(health.mAge));
    }
  }
}

}  // namespace vhost
