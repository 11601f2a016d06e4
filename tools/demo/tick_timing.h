// How steadily the host thread ticked: the longest time between the starts
// of two ticks in a row, the longest single tick (the plug-ins handling one
// tick message) and the longest render request, against the tick period.
// A gap of two periods means the thread was held for a whole tick beyond
// its schedule: a tick came a period late.
//
// To tell a thread that was held up from one the system did not run in
// time (a loaded machine), it also keeps how late the thread woke for a tick
// and the longest stretch it worked between two sleeps.
//
// Use: SetGapLimit() once, Woke(due, woke) after each sleep, Tick(start,
// end) after every tick, Render(start, end) after every render request,
// Sleeping(when) before each sleep; Reset() to leave out a warm-up.
//
// Thread-safety: none.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

class CTickTiming {
 public:
  using Clock = std::chrono::steady_clock;

  void Tick(Clock::time_point start, Clock::time_point end);
  void Render(Clock::time_point start, Clock::time_point end);
  void Woke(Clock::time_point due, Clock::time_point woke);
  void Sleeping(Clock::time_point when);
  // Forgets the figures; the next tick starts a new series of gaps.
  void Reset();

  uint64_t Ticks() const { return mTicks; }
  double LongestGapMs() const { return mLongestGap; }
  double LongestTickMs() const { return mLongestTick; }
  double LongestRenderMs() const { return mLongestRender; }
  double LongestWakeDelayMs() const { return mLongestWakeDelay; }
  double LongestWorkMs() const { return mLongestWork; }
  // Ticks that came more than the gap limit after the one before.
  uint64_t LateTicks() const { return mLateTicks; }
  void SetGapLimit(double limitMs) { mGapLimit = limitMs; }

 private:
  std::optional<Clock::time_point> mLastStart;
  uint64_t mTicks = 0;
  double mLongestGap = 0;
  double mLongestTick = 0;
  double mLongestRender = 0;
  double mLongestWakeDelay = 0;
  double mLongestWork = 0;
  std::optional<Clock::time_point> mWoke;
  double mGapLimit = 0;
  uint64_t mLateTicks = 0;
};
