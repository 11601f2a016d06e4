// The soak's parts: reading the kernel's figures, bucketed latencies, tick
// timing, the verdict, and the simulator reports a long run must not keep.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tools/demo/latency_stats.h"
#include "tools/demo/process_memory.h"
#include "tools/demo/soak_verdict.h"
#include "tools/demo/suit_process.h"
#include "tools/demo/tick_timing.h"
#include "tools/demo/udp_drop_counters.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(SoakProbes, ResidentMemoryIsReadFromTheStatusText) {
  EXPECT_EQ(ParseResidentKilobytes("Name:\tdemo\nVmPeak:\t  9999 kB\nVmRSS:\t   88612 kB\nThreads:\t4\n"), 88612u);
  EXPECT_FALSE(ParseResidentKilobytes("Name:\tdemo\nVmSize:\t 100 kB\n"));
  EXPECT_FALSE(ParseResidentKilobytes("VmRSS:\t lots\n"));
  EXPECT_FALSE(ParseResidentKilobytes("VmRSS:\t 12 pages\n"));
  const auto own = ResidentKilobytes();
  ASSERT_TRUE(own);
  EXPECT_GT(*own, 0u);
}

TEST(SoakProbes, SocketDropsAreSummedOverTheSocketsOfOnePort) {
  const std::string table =
      "   sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode ref "
      "pointer drops            \n"
      "  12: 00000000:36BB 00000000:0000 07 00000000:00000000 00:00000000 00000000     0        0 4242 2 "
      "0000000000000000 17      \n"
      "  13: 0100007F:36BB 00000000:0000 07 00000000:00000000 00:00000000 00000000     0        0 4243 2 "
      "0000000000000000 3\n"
      "  14: 00000000:0035 00000000:0000 07 00000000:00000000 00:00000000 00000000     0        0 4244 2 "
      "0000000000000000 900\n";
  EXPECT_EQ(ParseUdpSocketDrops(table, 0x36BB), 20u);
  EXPECT_EQ(ParseUdpSocketDrops(table, 53), 900u);
  EXPECT_FALSE(ParseUdpSocketDrops(table, 14043)) << "no socket on the port is not zero drops";
  EXPECT_FALSE(ParseUdpSocketDrops("Udp: InDatagrams NoPorts\n", 0x36BB)) << "not the socket table";
  EXPECT_FALSE(ParseUdpSocketDrops("", 0x36BB));
}

TEST(SoakProbes, MachineWideUdpErrorsComeFromTheSecondUdpLine) {
  const std::string snmp =
      "Tcp: RtoAlgorithm RtoMin\nTcp: 1 200\n"
      "Udp: InDatagrams NoPorts InErrors OutDatagrams RcvbufErrors SndbufErrors InCsumErrors IgnoredMulti MemErrors\n"
      "Udp: 82430 79438 519 164825 512 0 7 0 0\n"
      "UdpLite: InDatagrams NoPorts\nUdpLite: 0 0\n";
  const auto errors = ParseUdpErrors(snmp);
  ASSERT_TRUE(errors);
  EXPECT_EQ(errors->mReceiveBufferErrors, 512u);
  EXPECT_EQ(errors->mInErrors, 519u);
  EXPECT_FALSE(ParseUdpErrors("Udp: InDatagrams InErrors\nUdp: 1\n")) << "a short row";
  EXPECT_FALSE(ParseUdpErrors("Udp: InDatagrams NoPorts\nUdp: 1 2\n")) << "no RcvbufErrors column";
  EXPECT_TRUE(UdpErrors());
}

TEST(SoakLatency, PercentilesAreReadToHalfAPercentAndTheWorstExactly) {
  CLatencyStats stats;
  EXPECT_EQ(stats.Percentile(0.5), 0.0);
  EXPECT_EQ(stats.Max(), 0.0);
  std::vector<double> samples;
  for (int i = 1; i <= 10000; ++i) samples.push_back(0.05 * i + 0.0001 * (i % 7));
  std::reverse(samples.begin(), samples.end());
  for (double sample : samples) stats.Add(sample);
  std::sort(samples.begin(), samples.end());
  EXPECT_EQ(stats.Count(), 10000u);
  for (double fraction : {0.01, 0.5, 0.9, 0.99}) {
    const double exact = samples[static_cast<size_t>(std::ceil(fraction * 10000)) - 1];
    EXPECT_NEAR(stats.Percentile(fraction), exact, exact * 0.005) << fraction;
  }
  EXPECT_EQ(stats.Max(), samples.back());
  EXPECT_EQ(stats.Percentile(1.0), samples.back());

  CLatencyStats same;
  for (int i = 0; i < 5; ++i) same.Add(1.25);
  EXPECT_EQ(same.Percentile(0.5), 1.25) << "kept within the smallest and largest samples";
  CLatencyStats extremes;
  extremes.Add(-3.0);
  extremes.Add(5e9);
  extremes.Add(std::nan(""));
  EXPECT_EQ(extremes.Count(), 2u);
  EXPECT_LE(extremes.Percentile(0.5), 0.0011) << "at or below a microsecond: the first bucket";
  EXPECT_EQ(extremes.Max(), 5e9);
}

TEST(SoakTicks, GapsTicksRendersAndWakeUpsAreMeasuredAfterAReset) {
  using Clock = CTickTiming::Clock;
  const Clock::time_point t0{};
  CTickTiming timing;
  timing.SetGapLimit(4.0);
  timing.Tick(t0, t0 + 50ms);  // warm-up: forgotten
  timing.Reset();
  timing.Tick(t0 + 100ms, t0 + 100ms + 300us);
  timing.Sleeping(t0 + 101ms);
  timing.Woke(t0 + 102ms, t0 + 102ms + 500us);
  timing.Tick(t0 + 103ms, t0 + 103ms + 1200us);
  timing.Render(t0 + 104ms, t0 + 107ms);
  timing.Sleeping(t0 + 107ms + 500us);
  timing.Woke(t0 + 108ms, t0 + 108ms);
  timing.Tick(t0 + 108ms, t0 + 108ms + 100us);
  EXPECT_EQ(timing.Ticks(), 3u);
  EXPECT_DOUBLE_EQ(timing.LongestGapMs(), 5.0);
  EXPECT_EQ(timing.LateTicks(), 1u);
  EXPECT_DOUBLE_EQ(timing.LongestTickMs(), 1.2);
  EXPECT_DOUBLE_EQ(timing.LongestRenderMs(), 3.0);
  EXPECT_DOUBLE_EQ(timing.LongestWakeDelayMs(), 0.5);
  EXPECT_DOUBLE_EQ(timing.LongestWorkMs(), 5.0);
}

SSoakFigures HealthyRun() {
  SSoakFigures f;
  f.mRate = 1000;
  f.mPort = 14043;
  f.mStart = {3.0, 90000, 5, 1376, 0, 2, 4, 0};
  f.mEnd = {60.0, 91000, 5, 1376, 0, 2, 4, 0};
  f.mPeakRssKb = 91500;
  f.mRssToleranceKb = 4096;
  f.mStreams = {{"watcher-E46", 60000, 59990, 0, 0}, {"watcher-404", 60000, 60000, 0, 0}};
  f.mSocketDrops = 10;
  f.mTickPeriodMs = 16.67;
  f.mTicks = 3400;
  f.mLongestGapMs = 30;
  f.mLongestTickMs = 2;
  f.mLongestWorkMs = 12;
  return f;
}

bool Passed(const std::vector<SSoakCheck>& checks, const std::string& name) {
  for (const SSoakCheck& check : checks)
    if (check.mName == name) return check.mPassed;
  ADD_FAILURE() << "no check " << name;
  return false;
}

TEST(SoakVerdict, AFlatRunWhoseMissingFramesTheKernelDroppedPasses) {
  const std::vector<SSoakCheck> checks = CheckSoak(HealthyRun());
  ASSERT_EQ(checks.size(), 3u);
  for (const SSoakCheck& check : checks) EXPECT_TRUE(check.mPassed) << check.mName << ": " << check.mText;
  const std::string report = SoakReport(HealthyRun(), checks);
  EXPECT_NE(report.find("dropped by the kernel 10, lost 0"), std::string::npos) << report;
  EXPECT_EQ(report.substr(report.size() - 13), "soak: PASSED\n");
}

TEST(SoakVerdict, EachCheckFailsOnWhatItGuards) {
  SSoakFigures f = HealthyRun();
  f.mEnd.mRssKb = f.mStart.mRssKb + f.mRssToleranceKb + 1;
  EXPECT_FALSE(Passed(CheckSoak(f), "memory")) << "resident memory grew past the tolerance";
  f = HealthyRun();
  f.mEnd.mRssKb = f.mStart.mRssKb - 500;
  EXPECT_TRUE(Passed(CheckSoak(f), "memory")) << "shrinking is flat enough";
  for (uint64_t SSoakSample::*ledger : {&SSoakSample::mLiveBlocks, &SSoakSample::mLiveBytes, &SSoakSample::mLiveStrings,
                                        &SSoakSample::mImageBuffers, &SSoakSample::mReceivers, &SSoakSample::mRecorded}) {
    f = HealthyRun();
    f.mEnd.*ledger += 1;
    EXPECT_FALSE(Passed(CheckSoak(f), "memory")) << "a ledger not back at its start value";
  }

  f = HealthyRun();
  f.mStreams[0].mReceived -= 1;
  EXPECT_FALSE(Passed(CheckSoak(f), "frames")) << "one frame missing beyond the kernel's drops";
  f = HealthyRun();
  f.mSocketDrops = 11;
  EXPECT_FALSE(Passed(CheckSoak(f), "frames")) << "more drops than missing frames does not add up either";
  f = HealthyRun();
  f.mSocketDrops.reset();
  EXPECT_FALSE(Passed(CheckSoak(f), "frames")) << "without the socket counter, missing frames are lost";
  f = HealthyRun();
  f.mStreams[1].mRejected = 1;
  EXPECT_FALSE(Passed(CheckSoak(f), "frames"));
  f = HealthyRun();
  f.mStreams[1].mMessagesDropped = 1;
  EXPECT_FALSE(Passed(CheckSoak(f), "frames"));

  f = HealthyRun();
  f.mLongestWorkMs = f.mTickPeriodMs + 0.01;
  EXPECT_FALSE(Passed(CheckSoak(f), "ticks")) << "the thread held up past the next tick";
  f = HealthyRun();
  f.mLongestGapMs = 90;
  f.mLongestWakeDelayMs = 75;
  EXPECT_TRUE(Passed(CheckSoak(f), "ticks")) << "the system woke the thread late: reported, not held against it";
  f = HealthyRun();
  f.mLongestTickMs = f.mTickPeriodMs + 0.01;
  EXPECT_FALSE(Passed(CheckSoak(f), "ticks")) << "one tick held the thread longer than a period";
  f = HealthyRun();
  f.mTicks = 0;
  EXPECT_FALSE(Passed(CheckSoak(f), "ticks")) << "nothing measured is no pass";
  f.mJudgeTicks = false;
  EXPECT_FALSE(Passed(CheckSoak(f), "ticks")) << "figures only, but still nothing measured";
  f = HealthyRun();
  f.mJudgeTicks = false;
  f.mLongestWorkMs = f.mTickPeriodMs * 3;
  EXPECT_TRUE(Passed(CheckSoak(f), "ticks")) << "a sanitizer build's slow ticks are shown, not judged";

  f = HealthyRun();
  f.mEnd.mLiveStrings = 1;
  f.mLongestTickMs = 100;
  const std::string report = SoakReport(f, CheckSoak(f));
  const std::string verdict = "soak: FAILED (memory, ticks)\n";
  EXPECT_EQ(report.substr(report.size() - verdict.size()), verdict) << report;
}

TEST(SoakVerdict, TheJsonHoldsTheFiguresAndTheVerdict) {
  const fs::path path = fs::temp_directory_path() / ("soak-json-" + std::to_string(getpid()) + ".json");
  SSoakFigures f = HealthyRun();
  ASSERT_TRUE(WriteSoakJson(path.string(), f, CheckSoak(f), nullptr));
  std::ifstream in(path);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("\"passed\": true"), std::string::npos) << text;
  EXPECT_NE(text.find("\"socket_drops\": 10"), std::string::npos) << text;
  fs::remove(path);
  std::string error;
  EXPECT_FALSE(WriteSoakJson("/nonexistent-folder/soak.json", f, CheckSoak(f), &error));
  EXPECT_EQ(error, "cannot write /nonexistent-folder/soak.json");
}

// A stand-in for `suitsim send --report-sends` that reports three frames:
// the first sent more than kForgetAfterNs before the last.
TEST(SoakSuitProcess, SendTimesAreForgottenOnceTakenOrWhenTooOld) {
  const fs::path script = fs::temp_directory_path() / ("fake-suitsim-" + std::to_string(getpid()));
  std::ofstream(script) << "#!/bin/sh\n"
                           "echo 'frame E46 1 1000 3f800000 40000000 0'\n"
                           "echo 'frame E46 2 2000000000 3f800001 40000000 0'\n"
                           "echo 'frame E46 3 7000000000 3f800002 40000000 0'\n"
                           "echo 'sent 3 frames'\n";
  ASSERT_EQ(0, chmod(script.c_str(), 0700));
  CSuitProcess process;
  std::string error;
  ASSERT_TRUE(process.Start(script.string(), "E46", 0, 100, 14043, error)) << error;
  // Its last line read means every frame line before it was read too.
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (process.LastMessage() != "sent 3 frames" && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(1ms);
  process.Stop();
  EXPECT_EQ(process.Sent(), 3u);
  EXPECT_EQ(process.LastMessage(), "sent 3 frames");
  EXPECT_EQ(process.HeldSendTimes(), 2u) << "the frame sent 7 s before the newest is forgotten";
  EXPECT_FALSE(process.TakeSendTime(0x3f800000, 0x40000000));
  EXPECT_EQ(process.TakeSendTime(0x3f800001, 0x40000000), 2000000000);
  EXPECT_FALSE(process.TakeSendTime(0x3f800001, 0x40000000)) << "a frame arrives once";
  EXPECT_EQ(process.HeldSendTimes(), 1u);
  fs::remove(script);
}

}  // namespace
