#include "tools/demo/soak_sampler.h"

#include <algorithm>

#include "host/host.h"
#include "host/run/run_loop.h"
#include "tools/demo/process_memory.h"
#include "tools/demo/udp_drop_counters.h"

SSoakSample TakeSoakSample(vhost::CHost& host, double seconds) {
  SSoakSample sample;
  sample.mSeconds = seconds;
  sample.mRssKb = ResidentKilobytes().value_or(0);
  sample.mLiveBlocks = host.Memory().LiveBlocks();
  sample.mLiveBytes = host.Memory().LiveBytes();
  sample.mLiveStrings = host.Strings().LiveStrings();
  sample.mImageBuffers = host.LiveImageBuffers();
  sample.mReceivers = host.Receivers().All().size();
  sample.mRecorded = host.Recorder().All().size();
  return sample;
}

CSoakSampler::CSoakSampler(double warmup, double tickRate) : mWarmup(warmup) {
  mTiming.SetGapLimit(2e3 / tickRate);
}

void CSoakSampler::OnTick(vhost::CRunLoop&, uint64_t, Clock::time_point start, Clock::time_point end) {
  mTiming.Tick(start, end);
}

void CSoakSampler::OnRender(vhost::CRunLoop&, uint64_t, Clock::time_point start, Clock::time_point end) {
  mTiming.Render(start, end);
}

void CSoakSampler::OnStep(vhost::CRunLoop& loop) {
  if (loop.Ending()) return;
  const double now = loop.Seconds();
  if (!mMeasuring && now >= mWarmup) {
    mMeasuring = true;
    mTiming.Reset();
    mFigures.mStart = TakeSoakSample(loop.Host(), now);
    mFigures.mPeakRssKb = mFigures.mStart.mRssKb;
    mFigures.mUdpErrorsStart = UdpErrors();
    mNextRssSample = now + 1.0;
  } else if (mMeasuring && now >= mNextRssSample) {
    mNextRssSample += 1.0;
    mFigures.mPeakRssKb = std::max(mFigures.mPeakRssKb, ResidentKilobytes().value_or(0));
  }
}
