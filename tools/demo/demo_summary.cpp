#include "tools/demo/demo_summary.h"

#include <nlohmann/json.hpp>

#include "tools/demo/json_file.h"

bool WriteSummaryJson(const std::string& path, const SDemoSummary& summary, std::string* error) {
  nlohmann::json root;
  root["duration_s"] = summary.mDurationSeconds;
  root["watchers"] = nlohmann::json::array();
  for (const SWatcherResult& w : summary.mWatchers) {
    root["watchers"].push_back({{"name", w.mName},
                                {"suit", w.mSuit},
                                {"port", w.mPort},
                                {"sent", w.mSent},
                                {"received", w.mReceived},
                                {"lost", w.mLost},
                                {"rejected", w.mRejected},
                                {"latency_ms", {{"median", w.mMedianMs}, {"p99", w.mP99Ms}, {"max", w.mMaxMs}}},
                                {"latency_samples", w.mLatencySamples},
                                {"error", w.mError}});
  }
  root["frames_saved"] = summary.mFramesSaved;
  root["frames_dropped"] = summary.mFramesDropped;
  root["render_ms"] = summary.mRenderMs;
  root["scope_fps"] = summary.mScopeFps;
  root["problems"] = summary.mProblems;
  return WriteJsonFile(path, root, error);
}
