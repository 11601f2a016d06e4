#include "tools/demo/tick_timing.h"

#include <algorithm>

namespace {

double Milliseconds(CTickTiming::Clock::duration span) {
  return std::chrono::duration<double, std::milli>(span).count();
}

}  // namespace

void CTickTiming::Tick(Clock::time_point start, Clock::time_point end) {
  ++mTicks;
  mLongestTick = std::max(mLongestTick, Milliseconds(end - start));
  if (mLastStart) {
    const double gap = Milliseconds(start - *mLastStart);
    mLongestGap = std::max(mLongestGap, gap);
    if (mGapLimit > 0 && gap > mGapLimit) ++mLateTicks;
  }
  mLastStart = start;
}

void CTickTiming::Render(Clock::time_point start, Clock::time_point end) {
  mLongestRender = std::max(mLongestRender, Milliseconds(end - start));
}

void CTickTiming::Woke(Clock::time_point due, Clock::time_point woke) {
  mLongestWakeDelay = std::max(mLongestWakeDelay, Milliseconds(woke - due));
  mWoke = woke;
}

void CTickTiming::Sleeping(Clock::time_point when) {
  if (mWoke) mLongestWork = std::max(mLongestWork, Milliseconds(when - *mWoke));
  mWoke.reset();
}

void CTickTiming::Reset() {
  mLastStart.reset();
  mWoke.reset();
  mTicks = 0;
  mLongestGap = mLongestTick = mLongestRender = mLongestWakeDelay = mLongestWork = 0;
  mLateTicks = 0;
}
