// What a demo run found, per watcher, and its summary.json.
//
// Thread-safety: plain data and a pure function.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SWatcherResult {
  std::string mName;
  std::string mSuit;
  int mPort = 0;
  uint64_t mSent = 0;      // frames the simulator reported sent
  uint64_t mReceived = 0;  // recv_pkt values of the watcher
  uint64_t mLost = 0;      // sent and never received
  uint64_t mRejected = 0;  // datagrams the watcher rejected
  double mMedianMs = 0, mP99Ms = 0, mMaxMs = 0;
  uint64_t mLatencySamples = 0;
  std::string mError;
  bool mWentSilent = false;  // 2 s without a frame at some point
};

struct SDemoSummary {
  double mDurationSeconds = 0;
  std::vector<SWatcherResult> mWatchers;
  uint64_t mFramesSaved = 0;
  uint64_t mFramesDropped = 0;  // left out while the picture writer was behind
  double mRenderMs = 0;  // mean time of a render request (every Bonescope)
  std::vector<double> mScopeFps;
  std::vector<std::string> mProblems;  // what the exit status is about
};

// Writes `summary` as JSON. False with `error` set on failure.
bool WriteSummaryJson(const std::string& path, const SDemoSummary& summary, std::string* error);
