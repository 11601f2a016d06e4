// Driving instances: call order, wires, messages and recording, seen from
// the plug-in's side through the probe's log output.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "host/host.h"
#include "host/plugin.h"
#include "probe_paths.h"

using testing::ElementsAre;
using testing::HasSubstr;
using vhost::CHostValue;

namespace {

class InstancesDrivenByTheHost : public testing::Test {
 protected:
  void SetUp() override {
    mHost.AssertionLog().Switches().mPrintAssertions = false;
    mHost.Switches().mPrintViolations = false;
  }

  const vhost::CPlugin& Probe() { return vhost::LoadPlugin(ProbePath("probe")); }

  // The probe's log lines since `mark`.
  std::vector<std::string> Log(const vhost::CActorInstance& instance, uint64_t mark = 0) {
    std::vector<std::string> lines;
    for (const auto* r : mHost.OutputsSince(mark, &instance, "logo")) lines.push_back(r->mText.value_or("?"));
    return lines;
  }

  vhost::CHost mHost;
};

}  // namespace

TEST_F(InstancesDrivenByTheHost, ActivationDeliversEveryInputAfterwardsInIndexOrderWithFlagOne) {
  auto& probe = mHost.Spawn(Probe(), "p");
  EXPECT_THAT(Log(probe), ElementsAre("create", "activate 1",
                                      "change 1 flag 1 tag 2 value 5 seen 5",
                                      "change 2 flag 1 tag 3 value 0.25 seen 0.25",
                                      "change 3 flag 1 tag 6 value '' seen ''",
                                      "change 4 flag 1 tag 5 value nullptr seen nullptr",
                                      "change 5 flag 1 tag 2 value 0 seen 0"));
  const uint64_t mark = mHost.Mark();
  mHost.SetInput(probe, probe.FindInput("label"), CHostValue::String("hi"));
  EXPECT_THAT(Log(probe, mark), ElementsAre("change 3 flag 0 tag 6 value 'hi' seen 'hi'"));
}

TEST_F(InstancesDrivenByTheHost, PresetValuesAreWhatActivationDelivers) {
  auto& probe = mHost.AddInstance(Probe(), "p");
  mHost.Create(probe);
  mHost.PresetInput(probe, 1, CHostValue::Integer(500));
  mHost.Activate(probe);
  EXPECT_THAT(Log(probe), testing::Contains("change 1 flag 1 tag 2 value 100 seen 100"));
  EXPECT_THROW(mHost.PresetInput(probe, 1, CHostValue::Integer(1)), vhost::CHostError);
}

TEST_F(InstancesDrivenByTheHost, DeactivationAndDisposalEndTheInstanceAndReturnItsMemory) {
  const size_t blocksBefore = mHost.Memory().LiveBlocks();
  auto& probe = mHost.Spawn(Probe(), "p");
  mHost.SetInput(probe, probe.FindInput("command"), CHostValue::Integer(5));  // one more block
  EXPECT_EQ(mHost.Memory().LiveBlocks(), blocksBefore + 2);
  const uint64_t mark = mHost.Mark();
  mHost.Dispose(probe);  // deactivates first
  EXPECT_THAT(Log(probe, mark), ElementsAre("activate 0"));
  EXPECT_EQ(probe.State(), vhost::CActorInstance::EState::kDisposed);
  EXPECT_EQ(mHost.Memory().LiveBlocks(), blocksBefore);
  EXPECT_EQ(mHost.Strings().LiveStrings(), 0u);
  EXPECT_EQ(mHost.Tick().mReceivers, 0u);
  EXPECT_TRUE(mHost.Violations().empty());
  EXPECT_THROW(mHost.Activate(probe), vhost::CHostError);
}

TEST_F(InstancesDrivenByTheHost, AReceiverLeftRegisteredAfterDeactivationIsReported) {
  auto& probe = mHost.Spawn(Probe(), "p");
  mHost.SetInput(probe, probe.FindInput("command"), CHostValue::Integer(8));
  mHost.Deactivate(probe);
  EXPECT_THAT(mHost.Violations(), testing::Contains(HasSubstr("left 1 message receiver(s) registered")));
}

TEST_F(InstancesDrivenByTheHost, AnInstanceWithoutItsDataBlockStaysQuiet) {
  mHost.MemoryServices().Switches().mFailAllocateMemory = true;
  auto& probe = mHost.Spawn(Probe(), "p");
  mHost.MemoryServices().Switches().mFailAllocateMemory = false;
  EXPECT_EQ(probe.ActorData(), nullptr);
  EXPECT_TRUE(Log(probe).empty());
  mHost.Dispose(probe);
  EXPECT_TRUE(mHost.Violations().empty());
}

TEST_F(InstancesDrivenByTheHost, AWiredValueIsStoredInTheInputBeforeTheCallbackRuns) {
  auto& a = mHost.Spawn(Probe(), "a");
  auto& b = mHost.Spawn(Probe(), "b");
  auto& c = mHost.Spawn(Probe(), "c");
  mHost.Connect(a, a.FindOutput("number_out"), b, b.FindInput("number"));
  mHost.Connect(b, b.FindOutput("number_out"), c, c.FindInput("ratio"));
  const uint64_t mark = mHost.Mark();
  mHost.SetInput(a, 1, CHostValue::Integer(1));
  EXPECT_THAT(Log(b, mark), ElementsAre("change 1 flag 0 tag 2 value 1 seen 1"));
  // An integer reaching a float input becomes a float, clamped to -1..1.
  EXPECT_THAT(Log(c, mark), ElementsAre("change 2 flag 0 tag 3 value 1 seen 1"));
  mHost.SetInput(a, 1, CHostValue::Integer(70));
  EXPECT_EQ(b.Input(1).mValue.AsInteger(), 70);
  EXPECT_EQ(c.Input(2).mValue.AsFloat(), 1.0);
}

TEST_F(InstancesDrivenByTheHost, IncompatibleWiresAreRefused) {
  auto& a = mHost.Spawn(Probe(), "a");
  auto& b = mHost.Spawn(Probe(), "b");
  EXPECT_THROW(mHost.Connect(a, a.FindOutput("log"), b, b.FindInput("number")), vhost::CHostError);
  EXPECT_THROW(mHost.Connect(a, a.FindOutput("skel"), b, b.FindInput("label")), vhost::CHostError);
  EXPECT_THROW(mHost.Connect(a, 9, b, 1), vhost::CHostError);
  EXPECT_THROW(mHost.Connect(a, 2, a, 1), vhost::CHostError);
  EXPECT_NO_THROW(mHost.Connect(a, a.FindOutput("log"), b, b.FindInput("label")));
}

TEST_F(InstancesDrivenByTheHost, AWireFollowsItsOutputWhenEarlierOutputsAreRemoved) {
  auto& a = mHost.Spawn(Probe(), "a");
  auto& b = mHost.Spawn(Probe(), "b");
  mHost.Connect(a, a.FindOutput("number_out"), b, b.FindInput("number"));
  void* const* table = nullptr;
  std::memcpy(&table, reinterpret_cast<const char*>(mHost.Parameters()) + 16, sizeof(table));
  void* slot = nullptr;
  std::memcpy(&slot, reinterpret_cast<const char*>(table) + 0x0c8, sizeof(slot));
  auto remove = reinterpret_cast<vhost::service::RemoveOutputProperty>(slot);
  ASSERT_EQ(remove(a.Ref(), 2, 1), 0);  // 'log' goes, 'number_out' becomes output 1
  std::memcpy(&slot, reinterpret_cast<const char*>(table) + 0x038, sizeof(slot));
  auto send = reinterpret_cast<vhost::service::SetOutputPropertyValue>(slot);
  CHostValue v = CHostValue::Integer(33);
  ASSERT_EQ(send(a.Ref(), 1, v.Record()), 0);
  EXPECT_EQ(b.Input(1).mValue.AsInteger(), 33);
  ASSERT_EQ(remove(a.Ref(), 2, 1), 0);  // now the wired output itself goes
  EXPECT_EQ(mHost.WireCount(), 0u);
}

TEST_F(InstancesDrivenByTheHost, ALoopOfWiresIsCutAndReported) {
  auto& a = mHost.Spawn(Probe(), "a");
  auto& b = mHost.Spawn(Probe(), "b");
  mHost.Connect(a, a.FindOutput("number_out"), b, b.FindInput("number"));
  mHost.Connect(b, b.FindOutput("number_out"), a, a.FindInput("number"));
  mHost.SetInput(a, 1, CHostValue::Integer(9));
  EXPECT_THAT(mHost.Violations(), testing::Contains(HasSubstr("a loop of wires?")));
  EXPECT_EQ(a.Input(1).mValue.AsInteger(), 9);
}

TEST_F(InstancesDrivenByTheHost, SkeletonPackagesAreRecordedAsDecodedCopies) {
  auto& a = mHost.Spawn(Probe(), "a");
  auto& b = mHost.Spawn(Probe(), "b");
  mHost.Connect(a, a.FindOutput("skel"), b, b.FindInput("pkg"));
  mHost.SetInput(a, a.FindInput("command"), CHostValue::Integer(4));
  const auto* record = mHost.LastOutput(a, "skel");
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->mOutputIndex, 3);
  ASSERT_TRUE(record->mSkeleton.has_value());
  const auto& s = *record->mSkeleton;
  EXPECT_EQ(s.mTypeName, "skeleton");
  EXPECT_EQ(s.mTrackingState, 2);
  ASSERT_EQ(s.mPoints.size(), 2u);
  EXPECT_EQ(s.mPoints[0].mName, "head");
  EXPECT_EQ(s.mPoints[0].mX, 1.5f);
  ASSERT_NE(s.Find("neck"), nullptr);
  EXPECT_EQ(s.Find("neck")->mZ, -2.0f);
  // The same pointer reached the wired input.
  EXPECT_EQ(b.Input(4).mValue.AsPointer(), record->mValue.AsPointer());
  EXPECT_TRUE(mHost.Violations().empty());
}

TEST_F(InstancesDrivenByTheHost, AValueOfTheWrongTypeOnAnOutputIsReported) {
  auto& a = mHost.Spawn(Probe(), "a");
  mHost.SetInput(a, a.FindInput("command"), CHostValue::Integer(7));
  ASSERT_EQ(mHost.Violations().size(), 1u);
  EXPECT_THAT(mHost.Violations()[0], HasSubstr("tag 2 on output 1 (log), declared string"));
}

TEST_F(InstancesDrivenByTheHost, TicksReachActiveInstancesOnly) {
  auto& a = mHost.Spawn(Probe(), "a");
  auto& b = mHost.Spawn(Probe(), "b");
  mHost.Deactivate(b);
  const uint64_t mark = mHost.Mark();
  const auto delivery = mHost.Tick();
  EXPECT_EQ(delivery.mReceivers, 1u);
  EXPECT_EQ(mHost.TickCount(), 1u);
  EXPECT_THAT(Log(a, mark), ElementsAre("message 0x80 0"));
  EXPECT_TRUE(Log(b, mark).empty());
  EXPECT_EQ(mHost.OutputsSince(mark).front()->mTick, 1u);
}

TEST_F(InstancesDrivenByTheHost, TheActorsOwnHelpAndValueTextAreAskedThroughTheInstance) {
  auto& probe = mHost.AddInstance(Probe(), "p");  // not even created
  EXPECT_EQ(mHost.HelpText(probe, 0, 0), "The probe.");
  EXPECT_EQ(mHost.HelpText(probe, 2, 3), "skel help");
  EXPECT_EQ(mHost.ValueToString(probe, 1, 4, CHostValue::Data(nullptr)), "skeleton");
  EXPECT_EQ(mHost.ValueToString(probe, 1, 1, CHostValue::Integer(1)), std::nullopt);
  // "Written" without a character: the text is empty, not what the buffer held.
  EXPECT_EQ(mHost.ValueToString(probe, 2, 2, CHostValue::Integer(7)), "");
  EXPECT_EQ(mHost.ValueToString(probe, 2, 2, CHostValue::String(std::string(300, 'x'))), "");
  EXPECT_EQ(mHost.StringToValue(probe, 1, 1, "1"), std::nullopt);  // no such entry point
}

TEST_F(InstancesDrivenByTheHost, TheFrameworksTestActorRunsInTheHost) {
  const auto& plugin = vhost::LoadPlugin(BuiltPluginPath("test_actor"));
  auto& t = mHost.Spawn(plugin, "t");
  EXPECT_EQ(mHost.LastOutput(t, "echo")->mValue.AsInteger(), 7);
  mHost.SetInput(t, t.FindInput("count"), CHostValue::Integer(3));
  EXPECT_EQ(mHost.LastOutput(t, "echo")->mValue.AsInteger(), 3);
  mHost.SetInput(t, t.FindInput("label"), CHostValue::String("abc"));
  EXPECT_EQ(mHost.LastOutput(t, "text")->mText, "abc");
  mHost.Tick();
  mHost.Tick();
  EXPECT_EQ(mHost.LastOutput(t, "tick")->mValue.AsInteger(), 2);
  const auto two = mHost.StringToValue(t, 1, t.FindInput("mode"), "two");
  ASSERT_TRUE(two.has_value());
  EXPECT_EQ(two->AsInteger(), 2);
  EXPECT_EQ(mHost.ValueToString(t, 1, t.FindInput("mode"), CHostValue::Integer(1)), "one");
  mHost.SetInput(t, t.FindInput("mode"), CHostValue::Integer(2));
  EXPECT_EQ(mHost.Tick().mResults, std::vector<intptr_t>{0});  // its exception stopped at the boundary
  // ... and was reported, naming the entry point; the host and the instance go on.
  ASSERT_EQ(mHost.Assertions().size(), 1u);
  EXPECT_EQ(mHost.Assertions()[0].mCondition,
            "ReceiveMessage: exception stopped at the boundary: test actor: mode two throws");
  EXPECT_GT(mHost.Assertions()[0].mLine, 0);
  mHost.ClearAssertions();
  mHost.SetInput(t, t.FindInput("mode"), CHostValue::Integer(0));
  EXPECT_EQ(mHost.Tick().mResults, std::vector<intptr_t>{4});
  const auto area = mHost.GetActorDefinedArea(t);
  EXPECT_EQ(area.mResult, 1);
  EXPECT_EQ(area.mWidth, 64);
  mHost.Dispose(t);
  EXPECT_EQ(mHost.Strings().LiveStrings(), 0u);
  EXPECT_TRUE(mHost.Violations().empty());
  EXPECT_TRUE(mHost.Assertions().empty());
}
