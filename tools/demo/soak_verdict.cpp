#include "tools/demo/soak_verdict.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "tools/demo/json_file.h"

namespace {

struct SLedger {
  const char* mName;
  uint64_t SSoakSample::*mField;
};
constexpr SLedger kLedgers[] = {
    {"memory blocks", &SSoakSample::mLiveBlocks}, {"memory bytes", &SSoakSample::mLiveBytes},
    {"strings", &SSoakSample::mLiveStrings},      {"image buffers", &SSoakSample::mImageBuffers},
    {"receivers", &SSoakSample::mReceivers},      {"records held", &SSoakSample::mRecorded}};

double Megabytes(uint64_t kilobytes) { return static_cast<double>(kilobytes) / 1024.0; }

uint64_t Total(const std::vector<SSoakStream>& streams, uint64_t SSoakStream::*field) {
  uint64_t total = 0;
  for (const SSoakStream& stream : streams) total += stream.*field;
  return total;
}

nlohmann::json SampleJson(const SSoakSample& sample) {
  nlohmann::json json = {{"t", sample.mSeconds}, {"rss_kb", sample.mRssKb}};
  for (const SLedger& ledger : kLedgers) json[ledger.mName] = sample.*ledger.mField;
  return json;
}

}  // namespace

std::vector<SSoakCheck> CheckSoak(const SSoakFigures& f) {
  std::vector<SSoakCheck> checks;

  SSoakCheck memory{"memory", true, {}};
  const int64_t growth = static_cast<int64_t>(f.mEnd.mRssKb) - static_cast<int64_t>(f.mStart.mRssKb);
  memory.mText = fmt::format("RSS {:.1f} MB -> {:.1f} MB ({:+.1f} MB, limit +{:.1f} MB, peak {:.1f} MB)",
                             Megabytes(f.mStart.mRssKb), Megabytes(f.mEnd.mRssKb),
                             static_cast<double>(growth) / 1024.0, Megabytes(f.mRssToleranceKb),
                             Megabytes(f.mPeakRssKb));
  if (growth > static_cast<int64_t>(f.mRssToleranceKb)) memory.mPassed = false;
  for (const SLedger& ledger : kLedgers) {
    const uint64_t start = f.mStart.*ledger.mField;
    const uint64_t end = f.mEnd.*ledger.mField;
    memory.mText += fmt::format("; {} {} -> {}", ledger.mName, start, end);
    if (end != start) memory.mPassed = false;
  }
  checks.push_back(memory);

  SSoakCheck frames{"frames", true, {}};
  const uint64_t sent = Total(f.mStreams, &SSoakStream::mSent);
  const uint64_t received = Total(f.mStreams, &SSoakStream::mReceived);
  const uint64_t kernel = f.mSocketDrops.value_or(0);
  const int64_t lost = static_cast<int64_t>(sent) - static_cast<int64_t>(received) - static_cast<int64_t>(kernel);
  frames.mText = fmt::format("sent {}, received {}, dropped by the kernel {}{}, lost {}", sent, received, kernel,
                             f.mSocketDrops ? "" : " (no socket counter)", lost);
  frames.mPassed = lost == 0;
  for (const SSoakStream& stream : f.mStreams) {
    if (stream.mRejected != 0 || stream.mMessagesDropped != 0) frames.mPassed = false;
    frames.mText += fmt::format("; {}: rejected {}, queue dropped {}", stream.mName, stream.mRejected,
                                stream.mMessagesDropped);
  }
  checks.push_back(frames);

  SSoakCheck ticks{"ticks", true, {}};
  ticks.mText = fmt::format(
      "{} ticks, period {:.2f} ms: longest tick {:.2f} ms, longest work between sleeps {:.2f} ms (limit {:.2f} "
      "each); longest render {:.2f} ms; longest gap between ticks {:.2f} ms, {} over two periods, latest wake-up "
      "{:.2f} ms",
      f.mTicks, f.mTickPeriodMs, f.mLongestTickMs, f.mLongestWorkMs, f.mTickPeriodMs, f.mLongestRenderMs,
      f.mLongestGapMs, f.mLateTicks, f.mLongestWakeDelayMs);
  ticks.mPassed = f.mTicks > 0 && f.mLongestTickMs <= f.mTickPeriodMs && f.mLongestWorkMs <= f.mTickPeriodMs;
  if (!f.mJudgeTicks) {
    ticks.mText += ticks.mPassed ? "" : " (over the limit; not judged: --no-tick-check)";
    ticks.mPassed = f.mTicks > 0;
  }
  checks.push_back(ticks);
  return checks;
}

std::string SoakReport(const SSoakFigures& f, const std::vector<SSoakCheck>& checks) {
  std::string text = fmt::format("soak: {} suit(s) at {:.0f} frames/s on port {}, {:.1f} s measured after {:.1f} s "
                                 "of warm-up\n",
                                 f.mStreams.size(), f.mRate, f.mPort, f.mEnd.mSeconds - f.mStart.mSeconds,
                                 f.mWarmupSeconds);
  for (const SSoakStream& stream : f.mStreams)
    text += fmt::format("  {}: sent {}, received {}\n", stream.mName, stream.mSent, stream.mReceived);
  if (f.mUdpErrorsStart && f.mUdpErrorsEnd) {
    text += fmt::format("  whole machine (every program's sockets): UDP RcvbufErrors +{}, InErrors +{}\n",
                        f.mUdpErrorsEnd->mReceiveBufferErrors - f.mUdpErrorsStart->mReceiveBufferErrors,
                        f.mUdpErrorsEnd->mInErrors - f.mUdpErrorsStart->mInErrors);
  }
  std::string failed;
  for (const SSoakCheck& check : checks) {
    text += fmt::format("  {:<7}{}  {}\n", check.mName, check.mPassed ? "ok    " : "FAILED", check.mText);
    if (!check.mPassed) failed += (failed.empty() ? "" : ", ") + check.mName;
  }
  text += failed.empty() ? "soak: PASSED\n" : fmt::format("soak: FAILED ({})\n", failed);
  return text;
}

bool WriteSoakJson(const std::string& path, const SSoakFigures& f, const std::vector<SSoakCheck>& checks,
                   std::string* error) {
  nlohmann::json root = {{"rate", f.mRate},
                         {"warmup_s", f.mWarmupSeconds},
                         {"port", f.mPort},
                         {"start", SampleJson(f.mStart)},
                         {"end", SampleJson(f.mEnd)},
                         {"peak_rss_kb", f.mPeakRssKb},
                         {"rss_tolerance_kb", f.mRssToleranceKb},
                         {"tick_period_ms", f.mTickPeriodMs},
                         {"ticks", f.mTicks},
                         {"longest_gap_ms", f.mLongestGapMs},
                         {"longest_tick_ms", f.mLongestTickMs},
                         {"longest_render_ms", f.mLongestRenderMs},
                         {"longest_work_ms", f.mLongestWorkMs},
                         {"longest_wake_delay_ms", f.mLongestWakeDelayMs},
                         {"late_ticks", f.mLateTicks}};
  root["socket_drops"] = f.mSocketDrops ? nlohmann::json(*f.mSocketDrops) : nlohmann::json(nullptr);
  if (f.mUdpErrorsStart && f.mUdpErrorsEnd) {
    root["udp_rcvbuf_errors"] = f.mUdpErrorsEnd->mReceiveBufferErrors - f.mUdpErrorsStart->mReceiveBufferErrors;
    root["udp_in_errors"] = f.mUdpErrorsEnd->mInErrors - f.mUdpErrorsStart->mInErrors;
  }
  root["streams"] = nlohmann::json::array();
  for (const SSoakStream& s : f.mStreams) {
    root["streams"].push_back({{"name", s.mName},
                               {"sent", s.mSent},
                               {"received", s.mReceived},
                               {"rejected", s.mRejected},
                               {"queue_dropped", s.mMessagesDropped}});
  }
  root["checks"] = nlohmann::json::object();
  bool passed = true;
  for (const SSoakCheck& check : checks) {
    root["checks"][check.mName] = {{"passed", check.mPassed}, {"text", check.mText}};
    passed = passed && check.mPassed;
  }
  root["passed"] = passed;
  return WriteJsonFile(path, root, error);
}
