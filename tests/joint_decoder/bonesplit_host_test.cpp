// Bonesplit loaded from its plug-in file and driven by the stand-in host, as
// the real host would: channels added, removed and renamed, coordinates sent
// through the body point map, help composed from the current output names.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "host/allocation_counter.h"
#include "host/host.h"
#include "skeleton_builder.h"

namespace {

using vhost::CHostValue;

constexpr uint16_t kSkeletonIn = 1;
constexpr uint16_t kChannels = 2;
constexpr uint16_t kPointSel = 3;
constexpr uint16_t kOffsetX = 4;
constexpr uint16_t kOffsetY = 5;
constexpr uint16_t kOffsetZ = 6;
constexpr uint16_t kRelativeTo = 7;

const std::vector<std::string> kFifteenJoints = {
    "head",      "neck",      "torso",     "left shoulder", "right shoulder",
    "left elbow", "right elbow", "left hand", "right hand",  "left hip",
    "right hip", "left knee", "right knee", "left foot",    "right foot"};

const vhost::CPlugin& Bonesplit() {
  const char* dir = std::getenv("VORL_PLUGIN_DIR");
  return vhost::LoadPlugin(std::string(dir != nullptr ? dir : "plugins") + "/bonesplit" VORL_PLUGIN_SUFFIX);
}

class BonesplitInTheHost : public ::testing::Test {
 protected:
  void SetUp() override {
    mHost.AssertionLog().Switches().mPrintAssertions = false;
    mActor = &mHost.Spawn(Bonesplit(), "split");
  }

  void TearDown() override {
    EXPECT_TRUE(mHost.Violations().empty()) << ::testing::PrintToString(mHost.Violations());
  }

  void Skeleton(const void* pkg) { mHost.SetInput(*mActor, kSkeletonIn, CHostValue::Data(pkg)); }
  void Channels(int64_t n) { mHost.SetInput(*mActor, kChannels, CHostValue::Integer(n)); }
  void Select(const std::string& text) { mHost.SetInput(*mActor, kPointSel, CHostValue::String(text)); }
  void RelativeTo(const std::string& text) {
    mHost.SetInput(*mActor, kRelativeTo, CHostValue::String(text));
  }

  // Display names, or IDs, of the coordinate outputs (output 5 on).
  std::vector<std::string> CoordinateNames() const {
    std::vector<std::string> names;
    for (size_t i = 5; i <= mActor->OutputCount(); ++i) {
      names.push_back(mActor->Output(static_cast<uint16_t>(i)).mDisplayName);
    }
    return names;
  }
  std::vector<std::string> CoordinateIDs() const {
    std::vector<std::string> ids;
    for (size_t i = 5; i <= mActor->OutputCount(); ++i) {
      ids.push_back(mActor->Output(static_cast<uint16_t>(i)).mDescriptor.mID);
    }
    return ids;
  }

  // Output indexes sent since `mark`, in order.
  std::vector<uint16_t> SentSince(uint64_t mark) const {
    std::vector<uint16_t> sent;
    for (const auto* record : mHost.OutputsSince(mark, mActor)) sent.push_back(record->mOutputIndex);
    return sent;
  }
  // The last float sent on an output since `mark`; NaN if none.
  double FloatSince(uint64_t mark, uint16_t output) const {
    double value = std::nan("");
    for (const auto* record : mHost.OutputsSince(mark, mActor)) {
      if (record->mOutputIndex == output) value = record->mValue.AsFloat();
    }
    return value;
  }
  int64_t IntegerSince(uint64_t mark, uint16_t output) const {
    int64_t value = -1;
    for (const auto* record : mHost.OutputsSince(mark, mActor)) {
      if (record->mOutputIndex == output) value = record->mValue.AsInteger();
    }
    return value;
  }
  std::vector<std::string> AssertionTexts() const {
    std::vector<std::string> texts;
    for (const auto& report : mHost.Assertions()) texts.push_back(report.mCondition + "|" + report.mActorName);
    return texts;
  }

  vhost::CHost mHost;
  vhost::CActorInstance* mActor = nullptr;
};

// ---- Registration ----

TEST(BonesplitRegistration, NamesTheActorAndLeavesTheStringToValueSlotEmpty) {
  const vhost::CPlugin& plugin = Bonesplit();
  EXPECT_EQ(plugin.DisplayName(), "Bonesplit");
  EXPECT_EQ(plugin.ClassCode(), 0x636E746Cu);
  EXPECT_EQ(plugin.ActorID(), 0x5F736B6Cu);
  EXPECT_EQ(plugin.Constant12(), 256u);
  EXPECT_EQ(plugin.Constant16(), 128u);
  EXPECT_EQ(plugin.mPropertyStringToValue, nullptr);
  EXPECT_EQ(plugin.Inputs().size(), 7u);
  EXPECT_EQ(plugin.Outputs().size(), 7u);
  EXPECT_TRUE(plugin.Warnings().empty()) << ::testing::PrintToString(plugin.Warnings());
}

TEST_F(BonesplitInTheHost, ShowsOnlyTheSkeletonInputAsText) {
  EXPECT_EQ(mHost.ValueToString(*mActor, 1, kSkeletonIn, CHostValue::Data(nullptr)), "skeleton");
  EXPECT_FALSE(mHost.ValueToString(*mActor, 1, kChannels, CHostValue::Integer(2)).has_value());
  EXPECT_FALSE(mHost.ValueToString(*mActor, 2, 1, CHostValue::Integer(1)).has_value());
  EXPECT_FALSE(mHost.StringToValue(*mActor, 1, kChannels, "3").has_value());
}

// ---- Joint selection ----

TEST_F(BonesplitInTheHost, PutsTheTypedJointsOnTheFirstChannelsAndNamesThem) {
  SkeletonPtr s = MakeSkeleton({"head", "neck", "torso", "left hand"});
  Channels(2);
  Select("left hand, neck,,bogus , neck");
  const uint64_t mark = mHost.Mark();
  Skeleton(s.get());
  EXPECT_EQ(CoordinateNames(), (std::vector<std::string>{"left hand x", "left hand y", "left hand z",
                                                         "neck x", "neck y", "neck z"}));
  EXPECT_EQ(FloatSince(mark, 5), 3.0);  // left hand is point 3
  EXPECT_EQ(FloatSince(mark, 7), 300.0);
  EXPECT_EQ(FloatSince(mark, 8), 1.0);  // neck is point 1
  EXPECT_TRUE(mHost.Assertions().empty());
}

TEST_F(BonesplitInTheHost, RebuildsTheMapWhenTheSelectionChangesUnderASkeleton) {
  SkeletonPtr s = MakeSkeleton({"head", "neck", "torso"});
  Channels(2);
  Skeleton(s.get());
  EXPECT_EQ(CoordinateNames()[3], "neck x");
  const uint64_t mark = mHost.Mark();
  Select("Torso, torso");  // case matters: only the second piece selects
  EXPECT_EQ(CoordinateNames(), (std::vector<std::string>{"torso x", "torso y", "torso z", "head x",
                                                         "head y", "head z"}));
  EXPECT_EQ(FloatSince(mark, 5), 2.0);
}

TEST_F(BonesplitInTheHost, KeepsTheOldMapForASkeletonOfTheSameLayout) {
  SkeletonPtr s = MakeSkeleton({"head", "neck", "torso"});
  Skeleton(s.get());
  Skeleton(nullptr);  // not a skeleton: ignored, but the input holds no skeleton now
  Select("torso");    // so this waits for a rebuild
  Skeleton(s.get());
  EXPECT_EQ(CoordinateNames()[0], "head x");
  SkeletonPtr other = MakeSkeleton({"head", "neck", "chest", "torso"});
  Skeleton(other.get());
  EXPECT_EQ(CoordinateNames()[0], "torso x");
}

TEST_F(BonesplitInTheHost, GivesSkeletonsOfOneSizeButOtherNamesTheirOwnNames) {
  SkeletonPtr a = MakeSkeleton({"head", "neck"});
  SkeletonPtr b = MakeSkeleton({"kopf", "hals"});
  Skeleton(a.get());
  EXPECT_EQ(CoordinateNames()[0], "head x");
  Skeleton(b.get());
  EXPECT_EQ(CoordinateNames()[0], "kopf x");
}

// ---- Channels ----

TEST_F(BonesplitInTheHost, NamesAddedChannelsAfterTheSkeletonsJoints) {
  SkeletonPtr s = MakeSkeleton(kFifteenJoints);
  s->tracking_state = kSkeletonTracked;
  Skeleton(s.get());
  const uint64_t mark = mHost.Mark();
  Channels(3);
  EXPECT_EQ(CoordinateIDs(), (std::vector<std::string>{"ot01", "ot02", "ot03", "ot04", "ot05",
                                                       "ot06", "ot07", "ot08", "ot09"}));
  EXPECT_EQ(CoordinateNames(), (std::vector<std::string>{"head x", "head y", "head z", "neck x",
                                                         "neck y", "neck z", "torso x", "torso y",
                                                         "torso z"}));
  for (uint16_t output : SentSince(mark)) EXPECT_LT(output, 8) << "new outputs wait for the next skeleton";
  const uint64_t next = mHost.Mark();
  Skeleton(s.get());
  EXPECT_EQ(FloatSince(next, 13), 200.0);
}

TEST_F(BonesplitInTheHost, NamesAddedChannelsByLetterWithoutASkeleton) {
  Channels(3);
  EXPECT_EQ(CoordinateNames(), (std::vector<std::string>{"joint-a_x", "joint-a_y", "joint-a_z",
                                                         "joint-b x", "joint-b y", "joint-b z",
                                                         "joint-c x", "joint-c y", "joint-c z"}));
  EXPECT_TRUE(mHost.OutputsSince(0, mActor).empty());
}

TEST_F(BonesplitInTheHost, RemovesChannelsFromTheLastDownAndKeepsTheFirst) {
  Channels(4);
  Channels(2);
  EXPECT_EQ(CoordinateIDs(), (std::vector<std::string>{"ot01", "ot02", "ot03", "ot04", "ot05", "ot06"}));
  EXPECT_EQ(CoordinateNames()[3], "joint-b x");
  Channels(1);
  EXPECT_EQ(mActor->OutputCount(), 7u);
  EXPECT_EQ(CoordinateNames(), (std::vector<std::string>{"joint-a_x", "joint-a_y", "joint-a_z"}));
  Channels(3);  // IDs come back as they were
  EXPECT_EQ(CoordinateIDs().back(), "ot09");
  EXPECT_TRUE(mHost.Assertions().empty());
}

TEST_F(BonesplitInTheHost, NamesTheLastOfSixtyFourChannelsBl) {
  Channels(64);
  ASSERT_EQ(mActor->OutputCount(), 196u);
  const auto ids = CoordinateIDs();
  EXPECT_EQ(std::vector<std::string>(ids.end() - 3, ids.end()),
            (std::vector<std::string>{"otDM", "otDN", "otDO"}));
  EXPECT_EQ(ids[3 * 32 + 2], "ot99");
  EXPECT_EQ(ids[3 * 33], "otAA");
  EXPECT_EQ(CoordinateNames().back(), "joint-bl z");
  EXPECT_EQ(CoordinateNames()[3 * 26], "joint-aa x");
}

TEST_F(BonesplitInTheHost, ClampsAChannelCountTheHostDidNotLimit) {
  mHost.InjectInput(*mActor, kChannels, CHostValue::Integer(1000), 0);
  EXPECT_EQ(mActor->OutputCount(), 196u);
  mHost.InjectInput(*mActor, kChannels, CHostValue::Integer(-5), 0);
  EXPECT_EQ(mActor->OutputCount(), 7u);
  mHost.InjectInput(*mActor, kChannels, CHostValue::Float(2.9), 0);
  EXPECT_EQ(mActor->OutputCount(), 10u);
  mHost.InjectInput(*mActor, kChannels, CHostValue::Data(nullptr), 0);  // no number: ignored
  EXPECT_EQ(mActor->OutputCount(), 10u);
  EXPECT_TRUE(mHost.Assertions().empty());
}

TEST_F(BonesplitInTheHost, LeavesChannelsBeyondTheSkeletonsPointsAlone) {
  Channels(3);
  SkeletonPtr s = MakeSkeleton({"head", "neck"});
  const uint64_t mark = mHost.Mark();
  Skeleton(s.get());
  EXPECT_EQ(CoordinateNames()[6], "joint-c x");
  for (uint16_t output : SentSince(mark)) EXPECT_LT(output, 11);
}

// ---- Sending ----

class BonesplitSending : public BonesplitInTheHost {
 protected:
  void SetUp() override {
    BonesplitInTheHost::SetUp();
    mSkeleton = MakeSkeleton({"head", "neck", "torso"});
    mSkeleton->skeleton_id = 7;
    Channels(3);
    Skeleton(mSkeleton.get());  // the layout's first arrival rebuilds and sends with force
  }
  // An ordinary arrival of the same package in `state`; what it sent.
  std::vector<uint16_t> Arrive(uint8_t state) {
    mSkeleton->tracking_state = state;
    mMark = mHost.Mark();
    Skeleton(mSkeleton.get());
    return SentSince(mMark);
  }
  // A forced send (the selection changes under the skeleton) in `state`.
  std::vector<uint16_t> Force(uint8_t state) {
    mSkeleton->tracking_state = state;
    mMark = mHost.Mark();
    Select(std::to_string(mMark));  // a new text every time
    return SentSince(mMark);
  }
  const std::vector<uint16_t> kAll{1, 2, 5, 6, 7, 8, 9, 10, 11, 12, 13};
  SkeletonPtr mSkeleton;
  uint64_t mMark = 0;
};

TEST_F(BonesplitSending, AllocatesNothingForPackagesWhoseLabelsDidNotChange) {
  if (!vhost::AllocationCountingAvailable()) GTEST_SKIP() << vhost::AllocationCountingUnavailableReason();
  RelativeTo("torso");
  mHost.SetInput(*mActor, kOffsetX, CHostValue::Float(0.5));
  Arrive(kSkeletonTracked);
  const uint64_t before = vhost::CountedAllocations();
  for (int frame = 0; frame < 50; ++frame) {
    mSkeleton->points[0].x = 0.01f * static_cast<float>(frame);
    ++mSkeleton->update_count;
    EXPECT_EQ(Arrive(kSkeletonTracked), kAll);
  }
  EXPECT_EQ(vhost::CountedAllocations() - before, 0u) << "in 50 arrivals, every coordinate sent";
}

TEST_F(BonesplitSending, ReportsAnUntrackedBodyOnlyAsUntracked) {
  EXPECT_EQ(Arrive(kSkeletonNotTracked), (std::vector<uint16_t>{1}));
  EXPECT_EQ(IntegerSince(mMark, 1), 0);
  EXPECT_EQ(Arrive(kSkeletonNotTrackedAlt), (std::vector<uint16_t>{1}));
}

TEST_F(BonesplitSending, TriggersEnterOnceWhenTrackingBegins) {
  EXPECT_EQ(Arrive(kSkeletonTrackingBegun), (std::vector<uint16_t>{1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
  EXPECT_EQ(IntegerSince(mMark, 1), 1);
  EXPECT_EQ(IntegerSince(mMark, 2), 7);
  EXPECT_EQ(IntegerSince(mMark, 3), 1);
  EXPECT_EQ(Arrive(kSkeletonTracked), kAll);
}

TEST_F(BonesplitSending, TriggersExitAndNothingElseWhenTrackingIsLost) {
  EXPECT_EQ(Arrive(kSkeletonTrackingLost), (std::vector<uint16_t>{1, 4}));
  EXPECT_EQ(IntegerSince(mMark, 4), 1);
}

TEST_F(BonesplitSending, SendsEverythingWhenForcedWhateverTheState) {
  EXPECT_EQ(Force(kSkeletonNotTracked), kAll);
  EXPECT_EQ(Force(kSkeletonTrackingLost), (std::vector<uint16_t>{1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
  EXPECT_EQ(Force(kSkeletonTrackingBegun), (std::vector<uint16_t>{1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
}

TEST_F(BonesplitSending, IgnoresValuesThatAreNotSkeletons) {
  const uint32_t notASkeleton[2] = {0x12345678, 0};
  mMark = mHost.Mark();
  Skeleton(nullptr);
  Skeleton(notASkeleton);
  mHost.InjectInput(*mActor, kSkeletonIn, CHostValue::Integer(1), 0);
  mHost.InjectInput(*mActor, kSkeletonIn, CHostValue::FromRaw(5, 0), 0);
  EXPECT_TRUE(SentSince(mMark).empty());
}

TEST_F(BonesplitSending, AddsTheOffsetsFromTheNextSkeletonOn) {
  mMark = mHost.Mark();
  mHost.SetInput(*mActor, kOffsetX, CHostValue::Float(0.5));
  mHost.SetInput(*mActor, kOffsetY, CHostValue::Float(-1.0));
  mHost.SetInput(*mActor, kOffsetZ, CHostValue::Float(1000.0));
  RelativeTo("neck");
  EXPECT_TRUE(SentSince(mMark).empty());
  Arrive(kSkeletonTracked);
  // torso (2, 20, 200) relative to neck (1, 10, 100), then offset
  EXPECT_EQ(FloatSince(mMark, 11), 1.5);
  EXPECT_EQ(FloatSince(mMark, 12), 9.0);
  EXPECT_EQ(FloatSince(mMark, 13), 1100.0);
}

TEST_F(BonesplitSending, PutsTheReferenceJointAtTheOrigin) {
  RelativeTo("head");
  Arrive(kSkeletonTracked);
  EXPECT_EQ(FloatSince(mMark, 5), 0.0);
  EXPECT_EQ(FloatSince(mMark, 8), 1.0);
  RelativeTo("neck");
  Arrive(kSkeletonTracked);
  EXPECT_EQ(FloatSince(mMark, 5), -1.0);
  EXPECT_EQ(FloatSince(mMark, 10), 0.0);
}

TEST_F(BonesplitSending, FallsBackToAbsoluteForAnUnknownOrEmptyReference) {
  RelativeTo("neck");
  Arrive(kSkeletonTracked);
  EXPECT_EQ(FloatSince(mMark, 8), 0.0);
  RelativeTo("Neck");
  EXPECT_EQ(Arrive(kSkeletonTracked), kAll);
  EXPECT_EQ(FloatSince(mMark, 8), 1.0);
  RelativeTo("neck");
  RelativeTo("");
  Arrive(kSkeletonTracked);
  EXPECT_EQ(FloatSince(mMark, 8), 1.0);
}

TEST_F(BonesplitSending, KeepsTheReferenceWhenTheNewValueHoldsNoText) {
  RelativeTo("neck");
  mHost.InjectInput(*mActor, kRelativeTo, CHostValue::NullString(), 0);
  mHost.InjectInput(*mActor, kRelativeTo, CHostValue::Integer(0), 0);
  Arrive(kSkeletonTracked);
  EXPECT_EQ(FloatSince(mMark, 8), 0.0);
}

TEST_F(BonesplitInTheHost, TakesTheLastOfTwoEquallyNamedPointsAsReference) {
  SkeletonPtr s = MakeSkeleton({"hand", "neck", "hand"});
  s->tracking_state = kSkeletonTracked;
  Channels(2);
  RelativeTo("hand");
  Skeleton(s.get());
  const uint64_t mark = mHost.Mark();
  Skeleton(s.get());
  EXPECT_EQ(FloatSince(mark, 5), -2.0);  // point 0 minus point 2
  EXPECT_EQ(FloatSince(mark, 8), -1.0);
}

TEST_F(BonesplitInTheHost, NeverTakesAnUnnamedPointForAnEmptyReference) {
  SkeletonPtr s = MakeSkeleton({"head", ""});
  s->tracking_state = kSkeletonTracked;
  RelativeTo("");
  Skeleton(s.get());
  const uint64_t mark = mHost.Mark();
  Skeleton(s.get());
  EXPECT_EQ(FloatSince(mark, 5), 0.0);
  EXPECT_EQ(FloatSince(mark, 7), 0.0);
}

TEST_F(BonesplitInTheHost, SendsAnEmptySkeletonsStatusAndRenamesNothing) {
  SkeletonPtr s = MakeSkeleton({});
  uint64_t mark = mHost.Mark();
  Skeleton(s.get());  // the layout of "nothing seen yet": no rebuild
  EXPECT_EQ(SentSince(mark), (std::vector<uint16_t>{1}));
  mark = mHost.Mark();
  Select("head");  // a rebuild of an empty map, sent with force
  EXPECT_EQ(SentSince(mark), (std::vector<uint16_t>{1, 2}));
  EXPECT_EQ(CoordinateNames()[0], "joint-a_x");
  EXPECT_TRUE(mHost.Assertions().empty());
}

// ---- Help ----

TEST_F(BonesplitInTheHost, ComposesCoordinateHelpFromTheCurrentNames) {
  EXPECT_EQ(mHost.HelpText(*mActor, 2, 5).rfind("Reports the x-coordinate of joint-a. Once", 0), 0u);
  Channels(3);
  EXPECT_EQ(mHost.HelpText(*mActor, 2, 13),
            "Reports the z-coordinate of joint-c. Once a valid skeleton has been received, this "
            "joint name will automatically update to reflect the joints available for the "
            "incoming skeleton.");
  SkeletonPtr s = MakeSkeleton({"head", "neck"});
  Skeleton(s.get());
  EXPECT_EQ(mHost.HelpText(*mActor, 2, 9), "Reports the y-coordinate of the neck.");
  EXPECT_EQ(mHost.HelpText(*mActor, 2, 9, 12), "Reports the");
}

TEST_F(BonesplitInTheHost, LooksUpTheOtherHelpTextsInItsTable) {
  EXPECT_EQ(mHost.HelpText(*mActor, 1, kChannels), "The number of skeleton joints to be sent to the output.");
  EXPECT_EQ(mHost.HelpText(*mActor, 2, 2), "The numeric identifier for this skeleton.");
  EXPECT_EQ(mHost.HelpText(*mActor, 0, 0).rfind("Decodes a 'skeleton' package", 0), 0u);
}

TEST_F(BonesplitInTheHost, WritesNoHelpIntoABufferOfSizeZero) {
  char buffer[4] = {'#', '#', '#', '#'};
  mHost.CallGetHelpString(*mActor, 2, 6, buffer, 0);
  mHost.CallGetHelpString(*mActor, 1, kPointSel, buffer, 0);
  EXPECT_EQ(std::string(buffer, 4), "####");
}

// ---- Failures ----

TEST_F(BonesplitInTheHost, ReportsOutputsTheHostRefusesToAddOrCount) {
  mHost.Properties().Switches().mFailAddOutputProperty = true;
  Channels(2);
  EXPECT_EQ(AssertionTexts(), (std::vector<std::string>(3, "err == noErr|Bonesplit")));
  mHost.ClearAssertions();
  mHost.Properties().Switches().mFailGetPropertyCount = true;
  Channels(3);
  EXPECT_EQ(AssertionTexts(),
            (std::vector<std::string>{
                "err == kVorlNoError && propCount >= kFirstVariablePropertyIndex1|Bonesplit"}));
  EXPECT_EQ(mActor->OutputCount(), 7u);
}

TEST_F(BonesplitInTheHost, ReportsAnInputItDoesNotDeclare) {
  CHostValue value = CHostValue::Integer(1);
  mActor->Plugin().mHandlePropertyChangeValue(mHost.Parameters(), mActor->Info(), 8, nullptr,
                                              value.Record(), 0);
  EXPECT_EQ(AssertionTexts(), (std::vector<std::string>{"false|Bonesplit"}));
}

TEST(BonesplitWithoutMemory, IgnoresEveryCallbackThatNeedsItsRecord) {
  vhost::CHost host;
  host.AssertionLog().Switches().mPrintAssertions = false;
  host.MemoryServices().Switches().mFailAllocateMemory = true;
  vhost::CActorInstance& actor = host.Spawn(Bonesplit(), "starved");
  SkeletonPtr s = MakeSkeleton({"head", "neck"});
  host.SetInput(actor, kChannels, CHostValue::Integer(5));
  host.SetInput(actor, kSkeletonIn, CHostValue::Data(s.get()));
  host.SetInput(actor, kPointSel, CHostValue::String("neck"));
  EXPECT_FALSE(host.ValueToString(actor, 1, kSkeletonIn, CHostValue::Data(nullptr)).has_value());
  EXPECT_EQ(host.HelpText(actor, 1, kChannels), "The number of skeleton joints to be sent to the output.");
  EXPECT_EQ(actor.OutputCount(), 7u);
  EXPECT_TRUE(host.OutputsSince(0, &actor).empty());
  host.Dispose(actor);
  ASSERT_EQ(host.Assertions().size(), 2u);
  EXPECT_EQ(host.Assertions()[0].mCondition, "info != nil");
  EXPECT_EQ(host.Assertions()[1].mCondition, "ioActorInfo->mActorDataPtr != nil");
  EXPECT_EQ(host.Assertions()[1].mActorName, "Bonesplit");
  EXPECT_TRUE(host.Violations().empty()) << ::testing::PrintToString(host.Violations());
}

TEST(BonesplitLifeCycle, ReturnsItsRecordAndStartsAfreshOnReactivation) {
  vhost::CHost host;
  vhost::CActorInstance& actor = host.Spawn(Bonesplit(), "cycled");
  SkeletonPtr s = MakeSkeleton({"head", "neck"});
  host.SetInput(actor, kPointSel, CHostValue::String("neck"));
  host.SetInput(actor, kSkeletonIn, CHostValue::Data(s.get()));
  EXPECT_EQ(actor.Output(5).mDisplayName, "neck x");
  host.Deactivate(actor);
  host.SetInput(actor, kPointSel, CHostValue::String(""));
  host.Activate(actor);  // the host delivers every input again; the skeleton rebuilds the map
  EXPECT_EQ(actor.Output(5).mDisplayName, "head x");
  host.Dispose(actor);
  EXPECT_EQ(host.Memory().LiveBlocks(), 0u);
  EXPECT_TRUE(host.Assertions().empty());
  EXPECT_TRUE(host.Violations().empty()) << ::testing::PrintToString(host.Violations());
}

}  // namespace
