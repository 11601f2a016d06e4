#include "tools/demo/demo_view.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "host/host.h"
#include "host/run/run_loop.h"
#include "host/run/stream_health_observer.h"
#include "tools/demo/demo_pictures.h"

namespace {

constexpr double kViewPeriod = 0.25;

std::string Fixed(double value) { return fmt::format("{:7.3f}", value); }

}  // namespace

CDemoView::CDemoView(const SDemoOptions& options, int port, std::vector<SDemoStream>& streams,
                     const vhost::CStreamHealthObserver& health, const CDemoPictures& pictures,
                     vhost::CActorInstance& split, bool terminal)
    : mOptions(options), mPort(port), mStreams(streams), mHealth(health), mPictures(pictures), mSplit(split),
      mView(terminal),
      // Plain lines for a log: one block a second.
      mPeriod(terminal ? kViewPeriod : 1.0),
      mRates(streams.size()) {}

void CDemoView::OnTick(vhost::CRunLoop& loop, uint64_t mark, Clock::time_point, Clock::time_point) {
  for (const vhost::COutputRecord* record : loop.Host().OutputsSince(mark, &mSplit)) {
    if (record->mValue.Type() == vhost::layout::kTypeFloat) mSplitValues[record->mOutputName] = record->mValue.AsFloat();
  }
}

void CDemoView::OnStep(vhost::CRunLoop& loop) {
  if (loop.Ending()) return;
  const auto& health = mHealth.Watchers();
  for (size_t i = 0; i < mStreams.size() && i < health.size(); ++i)
    if (!health[i].mHint.empty()) mStreams[i].mWentSilent = true;
  const double now = loop.Seconds();
  if (now < mNextView) return;
  mNextView += mPeriod;
  Show(loop, now);
}

void CDemoView::Show(vhost::CRunLoop& loop, double now) {
  const double span = now - mLastView;
  mLastView = now;
  std::vector<std::string> lines;
  lines.push_back(fmt::format("demo: suits {} on 127.0.0.1:{}, {:.1f} of {:.0f} s (Ctrl-C ends early)",
                              fmt::join(mOptions.mSuits, ", "), mPort, now, mOptions.mDuration));
  lines.push_back("watcher        frames/s  received  lost  rejected  latency ms med/p99/max   last frame  error");
  const auto& health = mHealth.Watchers();
  for (size_t i = 0; i < mStreams.size() && i < health.size(); ++i) {
    SDemoStream& stream = mStreams[i];
    SRates& rates = mRates[i];
    const vhost::CWatcherHealth& h = health[i];
    if (span > 0) {
      rates.mFps = static_cast<double>(h.mReceived - rates.mReceivedAtLastView) / span;
      rates.mScopeFps = static_cast<double>(stream.mFrames - rates.mFramesAtLastView) / span;
    }
    rates.mReceivedAtLastView = h.mReceived;
    rates.mFramesAtLastView = stream.mFrames;
    const uint64_t sent = stream.mSimulator->Sent();
    const uint64_t rejected = h.mCounters ? h.mCounters->mDatagramsRejected : 0;
    lines.push_back(fmt::format("{:<14} {:8.1f}  {:8}  {:4}  {:8}  {:6.2f} {:6.2f} {:6.2f}   {:7.2f} s  '{}'", h.mName,
                                rates.mFps, h.mReceived, sent > h.mReceived + 2 ? sent - h.mReceived : 0, rejected,
                                stream.mLatency.Percentile(0.5), stream.mLatency.Percentile(0.99),
                                stream.mLatency.Max(), h.mAge, h.mError));
    if (!h.mHint.empty()) lines.push_back("  " + h.mHint);
  }
  lines.push_back(fmt::format("Bonesplit on {} ({}):", mStreams.front().mWatcher->Name(), mOptions.mJoints));
  lines.push_back("  joint              x        y        z");
  std::map<std::string, std::array<double, 3>> table;
  for (const auto& [name, value] : mSplitValues) {
    const auto blank = name.find_last_of(" _");
    if (blank == std::string::npos || blank + 1 >= name.size()) continue;
    const char axis = name[blank + 1];
    if (axis < 'x' || axis > 'z') continue;
    table[name.substr(0, blank)][static_cast<size_t>(axis - 'x')] = value;
  }
  for (const auto& [joint, xyz] : table)
    lines.push_back(fmt::format("  {:<16} {} {} {}", joint, Fixed(xyz[0]), Fixed(xyz[1]), Fixed(xyz[2])));
  for (size_t i = 0; i < mStreams.size(); ++i)
    lines.push_back(fmt::format("{:<14} {:5.1f} frames/s, render {:.2f} ms per request, {} PNG files",
                                mStreams[i].mScope->Name(), mRates[i].mScopeFps, mPictures.RenderMs(loop),
                                mPictures.FramesSaved(i)));
  mView.Show(lines);
}
