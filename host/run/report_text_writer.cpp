#include "host/run/report_text_writer.h"

#include <fmt/format.h>

#include "host/value_text.h"

namespace vhost {
namespace {

std::string Stamp(double seconds) { return fmt::format("[{:9.3f}s]", seconds); }

}  // namespace

std::string ReportText(const CRunReport& report) {
  std::string text;
  const std::string stamp = Stamp(report.mSeconds);
  for (const CReportedValue& value : report.mValues) {
    if (value.mCount == 0) {
      text += fmt::format("{} {} = {}{}\n", stamp, value.mOutput, value.mValue,
                          value.mNothingSent ? "  (nothing sent yet)" : "");
      continue;
    }
    const std::string shown = value.mSkeleton ? FormatSkeleton(*value.mSkeleton, std::string(14, ' ')) : value.mValue;
    text += fmt::format("{} {} = {}{}\n", stamp, value.mOutput, shown,
                        value.mCount > 1 ? fmt::format("  ({} values)", value.mCount) : "");
  }
  for (const CReportedRate& rate : report.mRates) {
    text += fmt::format("{} {} {:.1f} values/s\n", stamp, rate.mTarget, rate.mValuesPerSecond);
  }
  for (const CWatcherHealth& w : report.mWatchers) {
    text += fmt::format("{} {}\n", stamp, w.Summary());
    if (!w.mHint.empty()) text += fmt::format("{} {}: {}\n", stamp, w.mName, w.mHint);
  }
  return text;
}

std::string SummaryText(const CRunSummary& summary) {
  std::string text;
  for (const CSavedFrames& save : summary.mSaves) {
    text += fmt::format("actorhost: saved {} frame(s) of {} in {}", save.mFrames, save.mOutput, save.mDirectory);
    if (save.mDropped > 0) text += fmt::format(", {} left out (the encoder fell behind)", save.mDropped);
    text += "\n";
  }
  if (summary.mRenders) {
    text += fmt::format("actorhost: {} render request(s) sent, {} dropped (due while the run could not keep up)\n",
                        summary.mRendersSent, summary.mRendersDropped);
  }
  for (const CExpectResult& expect : summary.mExpects) {
    text += fmt::format("{}:{}: expect {}: {}\n", expect.mFile, expect.mLine, expect.mExpect,
                        expect.mHeld ? "holds" : "FAILED, " + expect.mDetail);
  }
  for (const CWatcherHealth& w : summary.mWatchers) {
    if (!w.mError.empty()) text += fmt::format("actorhost: {} reported an error: {}\n", w.mName, w.mError);
  }
  text += fmt::format(
      "actorhost: {} ticks in {:.2f} s; {} assertion(s), {} violation(s); after disposal {} memory "
      "block(s), {} string(s), {} image buffer(s) live\n",
      summary.mTicks, summary.mSeconds, summary.mAssertions, summary.mViolations, summary.mLiveBlocks,
      summary.mLiveStrings, summary.mLiveImageBuffers);
  return text;
}

}  // namespace vhost
