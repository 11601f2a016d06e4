// What a run measured, as plain values: one periodic report (the printed
// outputs, value rates, each watcher's stream health) and the summary at
// the end. Built once per report; the text and JSON writers
// (report_text_writer.h, report_json_writer.h) only format it.
//
// Thread-safety: plain values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/skeleton_snapshot.h"
#include "host/stream_health.h"

namespace vhost {

struct CReportedValue {
  std::string mOutput;  // "instance.name"
  std::string mID;
  uint64_t mCount = 0;  // values sent in the period; 0: the current value of an output that sent none
  std::string mValue;   // the last value as text (unless a skeleton)
  std::optional<CSkeletonSnapshot> mSkeleton;
  bool mNothingSent = false;  // the output has never sent anything
};

struct CReportedRate {
  std::string mTarget;  // as the patch names it
  double mValuesPerSecond = 0;
};

struct CRunReport {
  double mSeconds = 0;
  uint64_t mTicks = 0;
  std::vector<CReportedValue> mValues;
  std::vector<CReportedRate> mRates;          // with a closed rate window only
  std::vector<CWatcherHealth> mWatchers;      // likewise
  bool Empty() const { return mValues.empty() && mRates.empty() && mWatchers.empty(); }
};

struct CSavedFrames {
  std::string mOutput;     // target as the patch names it
  std::string mDirectory;
  uint64_t mFrames = 0;    // files written
  uint64_t mDropped = 0;   // frames left out while the encoder was behind
};

struct CExpectResult {
  std::string mFile;
  int mLine = 0;
  std::string mExpect;  // as written
  bool mHeld = false;
  std::string mDetail;  // why not
};

struct CRunSummary {
  uint64_t mTicks = 0;
  double mSeconds = 0;
  size_t mAssertions = 0;
  size_t mViolations = 0;
  size_t mLiveBlocks = 0;
  size_t mLiveStrings = 0;
  size_t mLiveImageBuffers = 0;
  bool mRenders = false;  // the patch asked for renders
  uint64_t mRendersSent = 0;
  uint64_t mRendersDropped = 0;
  std::vector<CSavedFrames> mSaves;
  std::vector<CExpectResult> mExpects;
  std::vector<CWatcherHealth> mWatchers;
  std::vector<std::string> mNeverAppeared;
  int mExitStatus = 0;
};

}  // namespace vhost
