// One suit's stream through the demo: its simulator, its watcher and its
// Bonescope, and what the demo's observers found about it.
//
// Thread-safety: none; the demo's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/actor_instance.h"
#include "tools/demo/latency_stats.h"
#include "tools/demo/picture_strip.h"
#include "tools/demo/suit_process.h"

struct SDemoStream {
  std::string mSuit;
  vhost::CActorInstance* mWatcher = nullptr;
  vhost::CActorInstance* mScope = nullptr;
  std::unique_ptr<CSuitProcess> mSimulator;
  CLatencyStats mLatency;
  bool mSkeletonsArrived = false;
  bool mWentSilent = false;  // 2 s without a frame at some point
  uint64_t mFrames = 0;      // video_out frames seen
  uint64_t mFramesSaved = 0;
  uint64_t mFramesDropped = 0;  // left out while the picture writer was behind
  SFrameRow mKept;
};
