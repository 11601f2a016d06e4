// A run's reports and summary: one model, written as text for a person and
// as JSON Lines for a program, with the same figures in both.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/run/report_json_writer.h"
#include "host/run/report_text_writer.h"

using testing::HasSubstr;
using testing::Not;

namespace {

vhost::CWatcherHealth Watcher(std::string error) {
  vhost::CWatcherHealth w;
  w.mName = "watcher";
  w.mPort = 14043;
  w.mReceived = 12;
  w.mCounters = CWatcherStreamCounters{CWatcherStreamCounters::kSignature, 1, 12, 3, 4};
  w.mError = std::move(error);
  w.mHint = "no data on port 14043 for 2 s: is the sender running, and is this the port it sends to?";
  w.mLastFrame = 1.0;
  w.mAge = 2.5;
  return w;
}

}  // namespace

TEST(RunReports, AReportShowsValuesRatesAndHealthAlikeInTextAndJson) {
  vhost::CRunReport report;
  report.mSeconds = 1.5;
  report.mTicks = 90;
  report.mValues.push_back({"a.echo", "echo", 3, "7", std::nullopt, false});
  report.mValues.push_back({"a.text", "text", 0, "''", std::nullopt, true});
  report.mRates.push_back({"a.echo", 2.0});
  report.mWatchers.push_back(Watcher(""));
  const std::string text = vhost::ReportText(report);
  EXPECT_THAT(text, HasSubstr("[    1.500s] a.echo = 7  (3 values)\n"));
  EXPECT_THAT(text, HasSubstr("[    1.500s] a.text = ''  (nothing sent yet)\n"));
  EXPECT_THAT(text, HasSubstr("a.echo 2.0 values/s"));
  EXPECT_THAT(text, HasSubstr("watcher: 12 frame(s), 3 rejected, 4 dropped, last 2.50 s ago, error ''"));
  EXPECT_THAT(text, HasSubstr("watcher: no data on port 14043"));

  const nlohmann::json json = vhost::ReportJson(report);
  EXPECT_EQ(json["type"], "report");
  EXPECT_EQ(json["ticks"], 90);
  EXPECT_EQ(json["values"][0]["count"], 3);
  EXPECT_EQ(json["values"][1]["count"], 0);
  EXPECT_EQ(json["rates"][0]["values_per_s"], 2.0);
  EXPECT_EQ(json["watchers"][0]["rejected"], 3);
  EXPECT_EQ(json["watchers"][0]["last_frame_age_s"], 2.5);
  EXPECT_TRUE(json["watchers"][0].contains("hint"));
}

TEST(RunReports, TheSummaryCountsDroppedFramesAndLeavesOutWhatOnlyMeantSomethingLive) {
  vhost::CRunSummary summary;
  summary.mTicks = 60;
  summary.mSeconds = 1.0;
  summary.mRenders = true;
  summary.mRendersSent = 10;
  summary.mSaves.push_back({"scope.video_out", "frames", 8, 2});
  summary.mExpects.push_back({"t.patch", 4, "a.echo >= 1", false, "got 0"});
  summary.mWatchers.push_back(Watcher("socket: bind error 98"));
  summary.mExitStatus = 3;
  const std::string text = vhost::SummaryText(summary);
  EXPECT_THAT(text, HasSubstr("actorhost: saved 8 frame(s) of scope.video_out in frames, 2 left out"));
  EXPECT_THAT(text, HasSubstr("10 render request(s) sent, 0 dropped"));
  EXPECT_THAT(text, HasSubstr("t.patch:4: expect a.echo >= 1: FAILED, got 0"));
  EXPECT_THAT(text, HasSubstr("actorhost: watcher reported an error: socket: bind error 98"));
  EXPECT_THAT(text, HasSubstr("actorhost: 60 ticks in 1.00 s;"));

  const nlohmann::json json = vhost::SummaryJson(summary);
  EXPECT_EQ(json["saves"][0]["frames_dropped"], 2);
  EXPECT_EQ(json["exit_status"], 3);
  EXPECT_EQ(json["watchers"][0]["error"], "socket: bind error 98");
  EXPECT_FALSE(json["watchers"][0].contains("hint")) << "a hint is for a person watching the run";

  summary.mSaves[0].mDropped = 0;
  EXPECT_THAT(vhost::SummaryText(summary), Not(HasSubstr("left out")));
}
