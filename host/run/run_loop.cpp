#include "host/run/run_loop.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "host/host.h"

namespace vhost {

CRunLoop::CRunLoop(CHost& host, const CRunSchedule& schedule) : mHost(host), mSchedule(schedule) {}

void CRunLoop::Add(CRunObserver& observer) { mObservers.push_back(&observer); }

double CRunLoop::Seconds() const {
  if (!mSchedule.mPaced) return static_cast<double>(mHost.TickCount()) / mSchedule.mTickRate;
  return mStarted ? std::chrono::duration<double>(Clock::now() - mStart).count() : 0.0;
}

void CRunLoop::Start() {
  if (mStarted) return;
  mStarted = true;
  mStart = Clock::now();
  for (CRunObserver* observer : mObservers) observer->OnStart(*this);
}

bool CRunLoop::Step() {
  if (mFinished) return false;
  Start();
  const uint64_t mark = mHost.Mark();
  const Clock::time_point start = Clock::now();
  mHost.Tick();
  const Clock::time_point end = Clock::now();
  for (CRunObserver* observer : mObservers) observer->OnTick(*this, mark, start, end);
  const double now = Seconds();
  if (!mEnding) ScheduleRenders(now);
  if (mSchedule.mPaced) {
    RenderNext();
  } else {
    RenderAll();
  }
  for (CRunObserver* observer : mObservers) observer->OnStep(*this);
  const bool ticksDone = mSchedule.mTickLimit && mHost.TickCount() >= *mSchedule.mTickLimit;
  const bool timeDone = mSchedule.mDuration && now >= *mSchedule.mDuration;
  return !(ticksDone || timeDone);
}

void CRunLoop::ScheduleRenders(double now) {
  if (mSchedule.mRenderRate <= 0) return;
  // The n-th request is due at n / rate seconds (counted, so rounding never
  // adds one). At most as many wait as one tick period holds (at least
  // two); more cannot be kept up with.
  const uint64_t due = static_cast<uint64_t>(std::floor(now * mSchedule.mRenderRate + 1e-9)) + 1;
  if (due <= mRenderSlots) return;
  const uint64_t limit = std::clamp<uint64_t>(
      static_cast<uint64_t>(std::ceil(mSchedule.mRenderRate / mSchedule.mTickRate)) + 1, 2, 16);
  uint64_t waiting = mRequestsWaiting + (due - mRenderSlots);
  mRenderSlots = due;
  if (waiting > limit) {
    mRendersDropped += waiting - limit;
    waiting = limit;
  }
  mRequestsWaiting = waiting;
}

bool CRunLoop::RenderNext() {
  if (mReceivers.empty()) {
    if (mRequestsWaiting == 0) return false;
    --mRequestsWaiting;
    ++mRendersSent;
    const auto handles = mHost.Receivers().HandlesFor(kMessageRenderRequest);
    mReceivers.assign(handles.begin(), handles.end());
    if (mReceivers.empty()) return true;
  }
  void* handle = mReceivers.front();
  mReceivers.pop_front();
  const uint64_t mark = mHost.Mark();
  const Clock::time_point start = Clock::now();
  // A receiver gone since the request began is skipped by the host.
  mHost.SendMessageTo(handle, kMessageRenderRequest);
  const Clock::time_point end = Clock::now();
  for (CRunObserver* observer : mObservers) observer->OnRender(*this, mark, start, end);
  return true;
}

void CRunLoop::RenderAll() {
  while (RenderNext()) {
  }
}

bool CRunLoop::AnyWantsEnd() {
  bool wants = false;
  for (CRunObserver* observer : mObservers) wants = observer->WantsEnd(*this) || wants;
  return wants;
}

bool CRunLoop::AnyDraining() {
  bool draining = false;
  for (CRunObserver* observer : mObservers) draining = observer->Draining(*this) || draining;
  return draining;
}

void CRunLoop::BeginEnding() {
  if (mEnding) return;
  mEnding = true;
  // Requests already due reach every actor, as they would have in one go.
  RenderAll();
  for (CRunObserver* observer : mObservers) observer->OnEnding(*this);
}

void CRunLoop::Run(const std::atomic<bool>* stop) {
  if (mFinished) return;
  auto stopped = [stop] { return stop != nullptr && stop->load(); };
  const auto period = std::chrono::duration<double>(1.0 / mSchedule.mTickRate);
  Start();
  uint64_t tick = 0;
  for (;;) {
    if (stopped()) break;
    if (!mEnding && AnyWantsEnd()) BeginEnding();
    if (mEnding && !AnyDraining()) break;
    if (mSchedule.mPaced) {
      const auto due = mStart + std::chrono::duration_cast<Clock::duration>(period * static_cast<double>(tick));
      bool timeUp = false;
      // Renders waiting go first; the rest of the gap is slept in short
      // slices, so that an interrupt ends the run promptly and a slow tick
      // rate does not keep it past its duration.
      while (Clock::now() < due && !stopped()) {
        timeUp = !mEnding && mSchedule.mDuration && Seconds() >= *mSchedule.mDuration;
        if (timeUp) break;
        if (RenderNext()) continue;
        const Clock::time_point now = Clock::now();
        const Clock::time_point until = std::min(due, now + std::chrono::milliseconds(50));
        for (CRunObserver* observer : mObservers) observer->OnSleeping(now);
        std::this_thread::sleep_until(until);
        const Clock::time_point woke = Clock::now();
        for (CRunObserver* observer : mObservers) observer->OnWoke(until, woke);
      }
      if (stopped()) break;
      if (timeUp) {
        BeginEnding();
        continue;
      }
    }
    ++tick;
    if (!Step()) BeginEnding();
  }
  Finish();
}

void CRunLoop::Finish() {
  if (mFinished) return;
  // A request under way reaches every actor; one not begun is not sent.
  while (!mReceivers.empty()) RenderNext();
  mRequestsWaiting = 0;
  mFinished = true;
  for (CRunObserver* observer : mObservers) observer->OnFinish(*this);
}

}  // namespace vhost
