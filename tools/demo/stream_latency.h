// Measures each stream's latency on the real path: the simulator reports
// the steady clock just before its sendto with the hip record's position
// bits; after every tick this finds those bits, unchanged, in the watcher's
// skeleton output and reads the clock again.
//
// Thread-safety: none; the loop's thread.
#pragma once

#include <vector>

#include "host/run/run_observer.h"
#include "tools/demo/demo_stream.h"

class CStreamLatency : public vhost::CRunObserver {
 public:
  explicit CStreamLatency(std::vector<SDemoStream>& streams) : mStreams(streams) {}
  void OnTick(vhost::CRunLoop& loop, uint64_t mark, Clock::time_point start, Clock::time_point end) override;

 private:
  std::vector<SDemoStream>& mStreams;
};
