#include "host/run/report_json_writer.h"

#include "host/value_text.h"

namespace vhost {

nlohmann::json WatcherJson(const CWatcherHealth& w, bool live) {
  nlohmann::json entry = {{"name", w.mName}, {"port", w.mPort}, {"received", w.mReceived}, {"error", w.mError}};
  if (live) {
    entry["hint"] = w.mHint;
    entry["last_frame_age_s"] = w.mLastFrame ? nlohmann::json(w.mAge) : nlohmann::json(nullptr);
  }
  if (w.mCounters) {
    entry["rejected"] = w.mCounters->mDatagramsRejected;
    entry["dropped"] = w.mCounters->mMessagesDropped;
  }
  return entry;
}

nlohmann::json ReportJson(const CRunReport& report) {
  nlohmann::json values = nlohmann::json::array();
  for (const CReportedValue& value : report.mValues) {
    values.push_back({{"output", value.mOutput},
                      {"id", value.mID},
                      {"value", value.mSkeleton ? FormatSkeleton(*value.mSkeleton, "") : value.mValue},
                      {"count", value.mCount}});
  }
  nlohmann::json line = {{"type", "report"}, {"t", report.mSeconds}, {"ticks", report.mTicks}, {"values", values}};
  if (!report.mRates.empty()) {
    nlohmann::json rates = nlohmann::json::array();
    for (const CReportedRate& rate : report.mRates) {
      rates.push_back({{"output", rate.mTarget}, {"values_per_s", rate.mValuesPerSecond}});
    }
    line["rates"] = rates;
  }
  if (!report.mWatchers.empty()) {
    nlohmann::json watchers = nlohmann::json::array();
    for (const CWatcherHealth& w : report.mWatchers) watchers.push_back(WatcherJson(w, true));
    line["watchers"] = watchers;
  }
  return line;
}

nlohmann::json SummaryJson(const CRunSummary& summary) {
  nlohmann::json saves = nlohmann::json::array();
  for (const CSavedFrames& save : summary.mSaves) {
    saves.push_back({{"output", save.mOutput},
                     {"directory", save.mDirectory},
                     {"frames", save.mFrames},
                     {"frames_dropped", save.mDropped}});
  }
  nlohmann::json expects = nlohmann::json::array();
  for (const CExpectResult& expect : summary.mExpects) {
    expects.push_back(
        {{"expect", expect.mExpect}, {"line", expect.mLine}, {"held", expect.mHeld}, {"detail", expect.mDetail}});
  }
  nlohmann::json watchers = nlohmann::json::array();
  for (const CWatcherHealth& w : summary.mWatchers) watchers.push_back(WatcherJson(w, false));
  return {{"type", "summary"},
          {"ticks", summary.mTicks},
          {"seconds", summary.mSeconds},
          {"assertions", summary.mAssertions},
          {"violations", summary.mViolations},
          {"live_memory_blocks", summary.mLiveBlocks},
          {"live_strings", summary.mLiveStrings},
          {"live_image_buffers", summary.mLiveImageBuffers},
          {"renders_sent", summary.mRendersSent},
          {"renders_dropped", summary.mRendersDropped},
          {"saves", saves},
          {"expects", expects},
          {"watchers", watchers},
          {"never_appeared", summary.mNeverAppeared},
          {"exit_status", summary.mExitStatus}};
}

}  // namespace vhost
