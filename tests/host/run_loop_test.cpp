// The run loop's schedule and its observers, driven unpaced so that every
// count is exact: ticks, render requests, the end and the drain after it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host.h"
#include "host/run/run_loop.h"
#include "probe_paths.h"

namespace {

// Writes down what the loop told it, one word per call.
class CJournal : public vhost::CRunObserver {
 public:
  void OnStart(vhost::CRunLoop&) override { mEvents.push_back("start"); }
  void OnTick(vhost::CRunLoop&, uint64_t, Clock::time_point, Clock::time_point) override { ++mTicks; }
  void OnRender(vhost::CRunLoop&, uint64_t, Clock::time_point, Clock::time_point) override { ++mRenders; }
  void OnStep(vhost::CRunLoop& loop) override {
    ++mSteps;
    if (loop.Ending()) ++mStepsWhileEnding;
  }
  bool WantsEnd(vhost::CRunLoop& loop) override { return mEndAfterTicks > 0 && loop.Host().TickCount() >= mEndAfterTicks; }
  void OnEnding(vhost::CRunLoop& loop) override {
    mEvents.push_back("ending");
    mTicksAtEnding = loop.Host().TickCount();
  }
  bool Draining(vhost::CRunLoop&) override { return mDrainSteps > 0 && mStepsWhileEnding < mDrainSteps; }
  void OnFinish(vhost::CRunLoop&) override { mEvents.push_back("finish"); }

  std::vector<std::string> mEvents;
  uint64_t mTicks = 0, mRenders = 0, mSteps = 0, mStepsWhileEnding = 0, mTicksAtEnding = 0;
  uint64_t mEndAfterTicks = 0;
  uint64_t mDrainSteps = 0;
};

class RunLoop : public testing::Test {
 protected:
  void SetUp() override {
    mActor = &mHost.Spawn(vhost::LoadPlugin(BuiltPluginPath("test_actor")), "a");
    mSchedule.mPaced = false;
    mSchedule.mTickRate = 10;
  }

  vhost::CHost mHost;
  vhost::CActorInstance* mActor = nullptr;
  vhost::CRunSchedule mSchedule;
  CJournal mJournal;
};

}  // namespace

TEST_F(RunLoop, EndsAtTheTickCountOrTheDurationAndTellsEachObserverOnce) {
  mSchedule.mTickLimit = 7;
  vhost::CRunLoop loop(mHost, mSchedule);
  loop.Add(mJournal);
  loop.Run();
  loop.Finish();
  EXPECT_EQ(mHost.TickCount(), 7u);
  EXPECT_EQ(mJournal.mTicks, 7u);
  EXPECT_EQ(mJournal.mSteps, 7u);
  EXPECT_EQ(mJournal.mEvents, (std::vector<std::string>{"start", "ending", "finish"}));
  EXPECT_EQ(mHost.LastOutput(*mActor, "tick")->mValue.AsInteger(), 7) << "every tick reached the actor";

  vhost::CHost other;
  other.Spawn(vhost::LoadPlugin(BuiltPluginPath("test_actor")), "b");
  mSchedule.mTickLimit.reset();
  mSchedule.mDuration = 1.25;  // unpaced: 10 ticks a second of tick time
  vhost::CRunLoop timed(other, mSchedule);
  timed.Run();
  EXPECT_EQ(other.TickCount(), 13u);
}

TEST_F(RunLoop, AStopFlagOrAnObserverEndsItAndADrainKeepsTickingWithoutRenders) {
  std::atomic<bool> stop{true};
  mSchedule.mTickLimit = 100;
  vhost::CRunLoop stopped(mHost, mSchedule);
  stopped.Add(mJournal);
  stopped.Run(&stop);
  EXPECT_EQ(mHost.TickCount(), 0u) << "a stop set before the start ends it before the first tick";
  EXPECT_EQ(mJournal.mEvents, (std::vector<std::string>{"start", "finish"}));

  vhost::CHost host;
  host.Spawn(vhost::LoadPlugin(BuiltPluginPath("test_actor")), "b");
  mSchedule.mRenderRate = 10;  // one request a tick
  CJournal journal;
  journal.mEndAfterTicks = 4;
  journal.mDrainSteps = 3;
  vhost::CRunLoop loop(host, mSchedule);
  loop.Add(journal);
  loop.Run();
  EXPECT_EQ(journal.mTicksAtEnding, 4u);
  EXPECT_EQ(host.TickCount(), 7u) << "three more ticks while draining";
  EXPECT_EQ(journal.mStepsWhileEnding, 3u);
  // Due at 0, 0.1, ... 0.4 s of tick time (the first tick is at 0.1 s).
  EXPECT_EQ(loop.RendersSent(), 5u) << "no render request once the end began";
  EXPECT_EQ(loop.RendersDropped(), 0u);
}

TEST_F(RunLoop, RenderRequestsFollowTheirRateAndThoseBeyondATickPeriodAreDropped) {
  mSchedule.mTickLimit = 10;  // one second of tick time
  mSchedule.mRenderRate = 25;
  vhost::CRunLoop loop(mHost, mSchedule);
  loop.Run();
  // Due at 0, 0.04, ... 1.0 s: 26 requests; at most 4 wait at a time.
  EXPECT_EQ(loop.RendersSent() + loop.RendersDropped(), 26u);
  EXPECT_EQ(loop.RendersDropped(), 0u);

  vhost::CHost host;
  host.Spawn(vhost::LoadPlugin(BuiltPluginPath("test_actor")), "b");
  mSchedule.mTickLimit = 2;
  mSchedule.mTickRate = 1;
  mSchedule.mRenderRate = 1000;  // far more than a tick period holds
  vhost::CRunLoop flooded(host, mSchedule);
  flooded.Run();
  EXPECT_EQ(flooded.RendersSent() + flooded.RendersDropped(), 2001u);
  EXPECT_LE(flooded.RendersSent(), 2u * 16u) << "never more than 16 a tick";
}
