// How each watcher's stream is doing, for a person watching a run.
//
// A watcher is any instance with the outputs and input the caller names
// (contract/watcher_stream.h lists the watcher's own). For each one this
// tracks the frames it announced on its trigger output, the
// datagrams it rejected and the messages it dropped (from the counters at the
// end of its instance data, when it keeps them), how long ago its last frame
// came, its current `error` text, and a hint for a person when it has said
// nothing for a while:
//
//   "no data on port 14043 for 2 s: is the sender running, and is this the
//    port it sends to?"
//
// Use: TrackWatchers() once the instances exist, Update() after every tick
// (before the host's recorder is cleared), then read Watchers().
//
// Thread-safety: none; the thread that drives the host.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "contract/watcher_stream.h"
#include "host/watcher_stream_counters.h"

namespace vhost {

class CHost;
class CActorInstance;

struct CWatcherHealth {
  std::string mName;                  // instance name
  int64_t mPort = 0;                  // recv_ip_port as set
  uint64_t mReceived = 0;             // recv_pkt values seen
  std::optional<CWatcherStreamCounters> mCounters;  // absent for watchers without them
  std::optional<double> mLastFrame;   // time of the last recv_pkt
  double mAge = 0;                    // seconds since the last recv_pkt (or since tracking began)
  std::string mError;                 // the `error` output's current text
  std::string mHint;                  // empty while all is well

  // One line: "watcher: 1234 frames, 0 rejected, 0 dropped, last 0.01 s ago, error ''".
  std::string Summary() const;
};

class CStreamHealth {
 public:
  // `properties`: what a watcher announces its stream on; `silence`: seconds
  // without a frame before the hint shows.
  explicit CStreamHealth(const CWatcherStreamProperties& properties, double silence = 2.0)
      : mProperties(properties), mSilence(silence) {}

  // Starts tracking every live watcher of `host` not yet tracked; `now` is
  // the time the silence is counted from.
  void TrackWatchers(CHost& host, double now);
  // Takes in what the watchers sent since the last call and reads their
  // counters.
  void Update(const CHost& host, double now);

  const std::vector<CWatcherHealth>& Watchers() const { return mHealth; }
  double Silence() const { return mSilence; }

  bool IsWatcher(const CActorInstance& instance) const;

 private:
  struct CTracked {
    const CActorInstance* mInstance;
    double mSince;
    uint64_t mMark;
  };
  CWatcherStreamProperties mProperties;
  double mSilence;
  std::vector<CTracked> mTracked;
  std::vector<CWatcherHealth> mHealth;  // parallel to mTracked
};

}  // namespace vhost
