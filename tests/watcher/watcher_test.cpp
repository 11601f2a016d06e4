// The watcher actor end to end: the plug-in file loaded by the stand-in host,
// real UDP datagrams on loopback, outputs read from the host's records.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/host.h"
#include "host/run/patch.h"
#include "host/run/patch_runner.h"
#include "suit_receiver/motiwear_pro.h"
#include "suit_receiver/watcher_info.h"
#include "contract/watcher_stream.h"
#include "tests/suit_receiver/udp_test_support.h"
#include "tools/suitsim/suit_frame.h"
#include "tools/suitsim/walking_figure.h"

namespace {

using namespace std::chrono_literals;
using vhost::CActorInstance;
using vhost::CHostValue;
using vhost::COutputRecord;

// Slot order of the package: the address of each of the 19 points.
constexpr uint8_t kSlotAddress[19] = {0x40, 0x24, 0x64, 0x03, 0x83, 0xA3, 0x21, 0x61, 0x22, 0x62,
                                      0x23, 0x63, 0xA2, 0xA1, 0xA0, 0x01, 0x81, 0x02, 0x82};
constexpr const char* kSlotName[19] = {
    "head",           "left-hand",      "right-hand",      "left-foot",       "right-foot",
    "neck",           "left-shoulder",  "right-shoulder",  "left-upper-arm",  "right-upper-arm",
    "left-lower-arm", "right-lower-arm", "chest",          "stomach",         "hip",
    "left-upper-leg", "right-upper-leg", "left-lower-leg", "right-lower-leg"};

// A frame whose record for address a carries the wire floats (a, a + 0.5, a + 0.25)
// at bytes 44, 48, 52; records in the suit's default order.
SuitDatagram KnownFrame(const std::string& suit) {
  SuitFrame frame = CWalkingFigure(0).FrameAt(suit, 0.0, 1);
  for (SuitRecord& record : frame.mRecords) {
    const float a = record.mHeader[0];
    record.mWirePosition[0] = a;
    record.mWirePosition[1] = a + 0.5f;
    record.mWirePosition[2] = a + 0.25f;
  }
  return EncodeSuitFrame(frame);
}

class WatcherActor : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* dir = std::getenv("VORL_PLUGIN_DIR");
    ASSERT_NE(dir, nullptr);
    mPlugin = &vhost::LoadPlugin(std::string(dir) + "/kavrin_watcher" VORL_PLUGIN_SUFFIX);
    mHost.AssertionLog().Switches().mPrintAssertions = false;
  }

  void TearDown() override {
    for (CActorInstance* instance : mHost.Instances())
      if (instance->IsLive()) mHost.Dispose(*instance);
    EXPECT_TRUE(mHost.Violations().empty()) << mHost.Violations().front();
    EXPECT_EQ(mHost.Memory().LiveBlocks(), 0u);
    EXPECT_EQ(mHost.Strings().LiveStrings(), 0u);
  }

  // An active watcher whose inputs were set before activation.
  CActorInstance& Watch(uint16_t port, const std::string& suit = "") {
    CActorInstance& instance = mHost.AddInstance(*mPlugin);
    mHost.Create(instance);
    mHost.PresetInput(instance, In("recv_ip_port", instance), CHostValue::Integer(port));
    mHost.PresetInput(instance, In("suit_id", instance), CHostValue::String(suit));
    mHost.Activate(instance);
    return instance;
  }

  uint16_t In(const char* name, const CActorInstance& instance) { return mHost.InputIndex(instance, name); }

  std::vector<const COutputRecord*> Outputs(uint64_t mark, const CActorInstance& instance,
                                            const char* id = "") {
    return mHost.OutputsSince(mark, &instance, id);
  }

  // Ticks until `done` holds; generous, since receiving runs on another thread.
  bool TickUntil(const std::function<bool()>& done) {
    for (auto deadline = std::chrono::steady_clock::now() + 20s;
         std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(5ms)) {
      mHost.Tick();
      if (done()) return true;
    }
    return false;
  }

  // Sends `datagram` until the instance reports a packet, so a receiver that
  // is still binding cannot lose the frame.
  bool DeliverFrame(uint16_t port, const SuitDatagram& datagram, const CActorInstance& instance) {
    const uint64_t mark = mHost.Mark();
    for (auto deadline = std::chrono::steady_clock::now() + 20s;
         std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(20ms)) {
      SendUdp(port, datagram);
      if (TickUntilQuiet([&] { return !Outputs(mark, instance, "rcpk").empty(); })) return true;
    }
    return false;
  }

  bool TickUntilQuiet(const std::function<bool()>& done) {
    for (int i = 0; i < 20; ++i) {
      mHost.Tick();
      if (done()) return true;
      std::this_thread::sleep_for(5ms);
    }
    return false;
  }

  // The instance's data block, read as the plug-in's own header lays it out.
  static const WatcherInfo& Info(const CActorInstance& instance) {
    return *static_cast<const WatcherInfo*>(instance.ActorData());
  }

  // The plug-in file's live receiver threads; the count outlives the
  // instance it was found through.
  static const std::atomic<int>& ReceiverThreads(const CActorInstance& instance) {
    return *Info(instance).mReceiverThreads;
  }

  // Messages the instance's receiver holds for the next tick. The receiver
  // is the plug-in's; this test reads it with its own copy of the receiver
  // code, built from the same sources.
  static size_t Pending(const CActorInstance& instance) {
    return Info(instance).mReceiver->GetPendingCount();
  }

  // The stream counters where a host finds them: the last 32 bytes of the
  // instance's data block.
  static const CWatcherStreamCounters& Counters(const CActorInstance& instance) {
    const auto* block = static_cast<const unsigned char*>(instance.ActorData());
    return *reinterpret_cast<const CWatcherStreamCounters*>(block + sizeof(WatcherInfo) -
                                                            sizeof(CWatcherStreamCounters));
  }

  // ActivateActor(1) as a host that does not track the instance's state
  // calls it: no inputs are delivered.
  void ActivateBehindTheHostsBack(CActorInstance& instance) {
    mPlugin->mActivateActor(mHost.Parameters(), instance.Info(), 1);
  }

  vhost::CHost mHost;
  const vhost::CPlugin* mPlugin = nullptr;
};

TEST_F(WatcherActor, PortZeroPublishesATemplatePackageAndStartsNoReceiver) {
  CActorInstance& watcher = Watch(0);
  EXPECT_EQ(Info(watcher).mReceiver, nullptr);
  EXPECT_EQ(ReceiverThreads(watcher).load(), 0);
  const uint64_t mark = mHost.Mark();
  mHost.Tick();
  auto skeletons = Outputs(mark, watcher, "skel");
  ASSERT_EQ(skeletons.size(), 1u);
  ASSERT_TRUE(skeletons[0]->mSkeleton.has_value());
  const vhost::CSkeletonSnapshot& pkg = *skeletons[0]->mSkeleton;
  ASSERT_EQ(pkg.mPointCount, 19u);
  for (int i = 0; i < 19; ++i) EXPECT_EQ(pkg.mPoints[i].mName, kSlotName[i]) << i;
  EXPECT_EQ(pkg.mUpdateCount, 1u);
  EXPECT_EQ(pkg.mTrackingState, 0);
  EXPECT_NE(pkg.mLabelHash, 0u);
  EXPECT_TRUE(Outputs(mark, watcher, "rcpk").empty());
  EXPECT_TRUE(Outputs(mark, watcher, "errr").empty()) << "no receiver, no error text";
  mHost.Tick();
  EXPECT_EQ(Info(watcher).mReceiver, nullptr);
  EXPECT_EQ(ReceiverThreads(watcher).load(), 0);
  EXPECT_EQ(Outputs(mark, watcher, "skel").size(), 1u) << "nothing new to publish";
}

TEST_F(WatcherActor, AFrameLandsInSlotOrderWithTheDefaultReversals) {
  const uint16_t port = FindFreeUdpPort();
  CActorInstance& watcher = Watch(port);
  const uint64_t mark = mHost.Mark();
  ASSERT_TRUE(DeliverFrame(port, KnownFrame("E46"), watcher));

  auto skeletons = Outputs(mark, watcher, "skel");
  ASSERT_FALSE(skeletons.empty());
  const vhost::CSkeletonSnapshot& pkg = *skeletons.back()->mSkeleton;
  EXPECT_EQ(pkg.mTrackingState, 2);
  EXPECT_EQ(pkg.mUnit, 2);
  for (int slot = 0; slot < 19; ++slot) {
    const float a = kSlotAddress[slot];
    // x from byte 44; y from byte 52 reversed (reverse_y defaults on); z from byte 48.
    EXPECT_FLOAT_EQ(pkg.mPoints[slot].mX, a) << slot;
    EXPECT_FLOAT_EQ(pkg.mPoints[slot].mY, -(a + 0.25f)) << slot;
    EXPECT_FLOAT_EQ(pkg.mPoints[slot].mZ, a + 0.5f) << slot;
    EXPECT_EQ(pkg.mPoints[slot].mName, kSlotName[slot]);
  }
  // The receiver was taken while activation delivered the inputs, a path that
  // publishes no error text.
  EXPECT_TRUE(Outputs(mark, watcher, "errr").empty());
}

TEST_F(WatcherActor, EveryFrameOfABatchGivesOneSkeletonAndOneTrigger) {
  const uint16_t port = FindFreeUdpPort();
  CActorInstance& watcher = Watch(port);
  ASSERT_TRUE(DeliverFrame(port, KnownFrame("E46"), watcher));

  const uint64_t mark = mHost.Mark();
  for (int i = 0; i < 3; ++i) SendUdp(port, KnownFrame("E46"));
  ASSERT_TRUE(WaitUntil([&] { return Pending(watcher) == 3; })) << Pending(watcher) << " queued";
  mHost.Tick();
  auto records = Outputs(mark, watcher);
  std::vector<std::string> order;
  for (const COutputRecord* record : records) order.push_back(record->mOutputID);
  EXPECT_EQ(order, (std::vector<std::string>{"skel", "rcpk", "skel", "rcpk", "skel", "rcpk"}));
  for (const COutputRecord* record : Outputs(mark, watcher, "rcpk")) EXPECT_EQ(record->mValue.AsInteger(), 1);
}

TEST_F(WatcherActor, TheSuitFilterMatchesExactlyThreeCharacters) {
  const uint16_t port = FindFreeUdpPort();
  // A second watcher on the port with no filter sees every frame. It is
  // activated first, so its receiver runs first on every tick: whichever of
  // the two collects a frame, the watcher has processed its copy, accepted or
  // not, by the end of the tick on which the witness reports it.
  CActorInstance& witness = Watch(port);
  CActorInstance& watcher = Watch(port);
  ASSERT_TRUE(DeliverFrame(port, KnownFrame("E46"), witness));

  // A frame may go out more than once while the receiver is slow, so the
  // watcher accepts when it reports every copy the witness reported.
  auto accepted = [&](const std::string& filter, const std::string& suit) -> std::string {
    mHost.SetInput(watcher, In("suit_id", watcher), CHostValue::String(filter));
    const uint64_t mark = mHost.Mark();
    if (!DeliverFrame(port, KnownFrame(suit), witness)) return "lost";
    const size_t seen = Outputs(mark, witness, "rcpk").size();
    const size_t kept = Outputs(mark, watcher, "rcpk").size();
    return kept == 0 ? "rejected" : kept == seen ? "accepted" : "partly";
  };
  EXPECT_EQ(accepted("E46", "E46"), "accepted");
  EXPECT_EQ(accepted("E46", "404"), "rejected");
  EXPECT_EQ(accepted("e46", "E46"), "rejected") << "case matters";
  EXPECT_EQ(accepted("E4", "E46"), "rejected") << "two characters match no decoded frame";
  EXPECT_EQ(accepted("E466", "E46"), "accepted") << "cut to E46 on input";
  EXPECT_EQ(accepted("", "404"), "accepted") << "empty accepts every suit";
}

TEST_F(WatcherActor, ASuitIdTypedBeforeTheReceiverExistsIsInForce) {
  const uint16_t port = FindFreeUdpPort();
  CActorInstance& watcher = Watch(port, "404");
  const uint64_t mark = mHost.Mark();
  // Suit E46 walks (its head is about 1.7 m up); suit 404 carries the known
  // positions, its head at x = 0x40.
  const SuitDatagram walking = EncodeSuitFrame(CWalkingFigure(0).FrameAt("E46", 0.5, 2));
  for (int i = 0; i < 5; ++i) SendUdp(port, walking);
  ASSERT_TRUE(DeliverFrame(port, KnownFrame("404"), watcher));
  size_t tracked = 0;
  for (const COutputRecord* record : Outputs(mark, watcher, "skel")) {
    if (record->mSkeleton->mTrackingState != 2) continue;  // the template package
    ++tracked;
    EXPECT_FLOAT_EQ(record->mSkeleton->mPoints[0].mX, 0x40) << "a frame of suit E46 got through";
  }
  EXPECT_GE(tracked, 1u);
}

TEST_F(WatcherActor, NameJointsOffGivesHexadecimalNamesAndANewHash) {
  const uint16_t port = FindFreeUdpPort();
  CActorInstance& watcher = Watch(port);
  ASSERT_TRUE(DeliverFrame(port, KnownFrame("E46"), watcher));
  const uint64_t friendlyHash = mHost.LastOutput(watcher, "skel")->mSkeleton->mLabelHash;

  mHost.SetInput(watcher, In("name_joints", watcher), CHostValue::Integer(0));
  const uint64_t mark = mHost.Mark();
  ASSERT_TRUE(DeliverFrame(port, KnownFrame("E46"), watcher));
  const vhost::CSkeletonSnapshot& pkg = *mHost.LastOutput(watcher, "skel")->mSkeleton;
  EXPECT_EQ(pkg.mPoints[0].mName, "40");
  EXPECT_EQ(pkg.mPoints[5].mName, "A3");
  EXPECT_EQ(pkg.mPoints[14].mName, "A0");
  EXPECT_NE(pkg.mLabelHash, friendlyHash);
  EXPECT_FALSE(Outputs(mark, watcher, "rcpk").empty());
}

TEST_F(WatcherActor, ABusyPortShowsTheBindErrorOnceWithoutATrigger) {
  const uint16_t port = FindFreeUdpPort();
  const int blocker = OccupyUdpPort(port);
  ASSERT_GE(blocker, 0);
  CActorInstance& watcher = Watch(port);
  const uint64_t mark = mHost.Mark();
  ASSERT_TRUE(TickUntil([&] {
    for (const COutputRecord* r : Outputs(mark, watcher, "errr"))
      if (r->mText && !r->mText->empty()) return true;
    return false;
  }));
  for (int i = 0; i < 10; ++i) mHost.Tick();
  std::vector<std::string> texts;
  for (const COutputRecord* r : Outputs(mark, watcher, "errr"))
    if (r->mText && !r->mText->empty()) texts.push_back(*r->mText);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].rfind("socket: bind error ", 0), 0u) << texts[0];
  EXPECT_TRUE(Outputs(mark, watcher, "rcpk").empty());
  CloseSocket(blocker);
}

TEST_F(WatcherActor, AChangedPortReleasesTheOldReceiverAndTakesANewOne) {
  const uint16_t first = FindFreeUdpPort();
  CActorInstance& watcher = Watch(first);
  ASSERT_TRUE(DeliverFrame(first, KnownFrame("E46"), watcher));
  ASSERT_TRUE(Info(watcher).mReceiver->IsListening());
  const std::atomic<int>& threads = ReceiverThreads(watcher);
  ASSERT_EQ(threads.load(), 1);

  const uint16_t second = FindFreeUdpPort();
  const uint64_t mark = mHost.Mark();
  mHost.SetInput(watcher, In("recv_ip_port", watcher), CHostValue::Integer(second));
  mHost.Tick();
  auto errors = Outputs(mark, watcher, "errr");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0]->mText.value_or("?"), "");
  EXPECT_TRUE(WaitUntil([&] { return threads.load() == 1; })) << "old receiver stopped";
  ASSERT_TRUE(DeliverFrame(second, KnownFrame("E46"), watcher));

  mHost.SetInput(watcher, In("recv_ip_port", watcher), CHostValue::Integer(0));
  mHost.Tick();
  EXPECT_EQ(Info(watcher).mReceiver, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return threads.load() == 0; })) << "port 0 holds no receiver";
}

TEST_F(WatcherActor, TwoWatchersOnOnePortBothGetEveryFramesPositions) {
  const uint16_t port = FindFreeUdpPort();
  CActorInstance& one = Watch(port);
  CActorInstance& two = Watch(port);
  mHost.SetInput(two, In("reverse_x", two), CHostValue::Integer(1));
  const uint64_t mark = mHost.Mark();
  ASSERT_TRUE(DeliverFrame(port, KnownFrame("E46"), one));
  ASSERT_TRUE(TickUntil([&] { return !Outputs(mark, two, "rcpk").empty(); }));
  const vhost::CSkeletonSnapshot& a = *mHost.LastOutput(one, "skel")->mSkeleton;
  const vhost::CSkeletonSnapshot& b = *mHost.LastOutput(two, "skel")->mSkeleton;
  EXPECT_EQ(a.mTrackingState, 2);
  EXPECT_EQ(b.mTrackingState, 2);
  EXPECT_FLOAT_EQ(a.mPoints[0].mX, 0x40);
  EXPECT_FLOAT_EQ(b.mPoints[0].mX, -0x40) << "each instance writes the frame with its own switches";
}

TEST_F(WatcherActor, DeactivationClearsTheOutputBeforeFreeingThePackage) {
  CActorInstance& watcher = Watch(0);
  mHost.Tick();
  const uint64_t mark = mHost.Mark();
  mHost.Deactivate(watcher);
  auto skeletons = Outputs(mark, watcher, "skel");
  ASSERT_EQ(skeletons.size(), 1u);
  EXPECT_EQ(skeletons[0]->mValue.Type(), 5);
  EXPECT_EQ(skeletons[0]->mValue.AsPointer(), nullptr);
  EXPECT_TRUE(mHost.Receivers().All().empty());
}

TEST_F(WatcherActor, DisposingTheLastInstanceWaitsForTheReceiverThreads) {
  const uint16_t port = FindFreeUdpPort();
  CActorInstance& one = Watch(port);
  CActorInstance& two = Watch(FindFreeUdpPort());
  ASSERT_TRUE(DeliverFrame(port, KnownFrame("E46"), one));
  const std::atomic<int>& threads = ReceiverThreads(one);
  EXPECT_EQ(threads.load(), 2);
  mHost.Dispose(one);
  mHost.Dispose(two);
  // No waiting here: the last dispose returned only after every thread ended.
  EXPECT_EQ(threads.load(), 0);
  EXPECT_TRUE(mHost.Assertions().empty());
}

TEST_F(WatcherActor, DisposeWithoutDeactivationReleasesTheReceiverItShares) {
  const uint16_t port = FindFreeUdpPort();
  CActorInstance& witness = Watch(port);
  CActorInstance& skipper = mHost.AddInstance(*mPlugin);
  mHost.Create(skipper);
  ActivateBehindTheHostsBack(skipper);  // the host still sees it as only created
  mHost.SetInput(skipper, In("recv_ip_port", skipper), CHostValue::Integer(port));
  ASSERT_TRUE(DeliverFrame(port, KnownFrame("E46"), skipper));

  mHost.Dispose(skipper);  // straight to DisposeActor: no ActivateActor(0)
  EXPECT_EQ(mHost.Receivers().CountWithRefcon(skipper.Info()), 0u);
  // The shared receiver no longer calls into the freed block.
  ASSERT_TRUE(DeliverFrame(port, KnownFrame("E46"), witness));
  // The last instance's dispose returns, with every receiver thread ended.
  const std::atomic<int>& threads = ReceiverThreads(witness);
  mHost.Dispose(witness);
  EXPECT_EQ(threads.load(), 0);
}

TEST_F(WatcherActor, ARepeatedActivationReleasesWhatTheFirstMade) {
  const uint16_t first = FindFreeUdpPort();
  CActorInstance& watcher = Watch(first);
  ASSERT_TRUE(DeliverFrame(first, KnownFrame("E46"), watcher));

  ActivateBehindTheHostsBack(watcher);
  EXPECT_EQ(mHost.Receivers().CountWithRefcon(watcher.Info()), 1u) << "one message receiver, not two";
  // The first package was withdrawn (and freed: the leak checker watches).
  EXPECT_EQ(mHost.LastOutput(watcher, "skel")->mValue.AsPointer(), nullptr);
  EXPECT_EQ(Info(watcher).mReceiver, nullptr);
  const std::atomic<int>& threads = ReceiverThreads(watcher);
  EXPECT_TRUE(WaitUntil([&] { return threads.load() == 0; })) << "the first receiver stopped";

  const uint16_t second = FindFreeUdpPort();
  mHost.SetInput(watcher, In("recv_ip_port", watcher), CHostValue::Integer(second));
  ASSERT_TRUE(DeliverFrame(second, KnownFrame("E46"), watcher));
  mHost.Dispose(watcher);
  EXPECT_EQ(threads.load(), 0);
}

TEST_F(WatcherActor, AnInactiveInstanceDoesNothingWithAMessage) {
  CActorInstance& watcher = Watch(0);
  ASSERT_EQ(mHost.Receivers().All().size(), 1u);
  const vhost::CMessageReceiver receiver = mHost.Receivers().All()[0];
  mHost.Deactivate(watcher);
  const uint64_t mark = mHost.Mark();
  // A host that still delivers to the unregistered receiver: no package is
  // made (the leak checker would see it) and nothing published.
  receiver.mReceiver(mHost.Parameters(), vhost::kMessageTick, 0, nullptr, 0, receiver.mInfo);
  EXPECT_TRUE(Outputs(mark, watcher).empty());
}

TEST_F(WatcherActor, DatagramsThatAreNoFramesAreCountedAndNotPublished) {
  const uint16_t port = FindFreeUdpPort();
  CActorInstance& watcher = Watch(port);
  EXPECT_EQ(Counters(watcher).mSignature, 0x7773636Eu);
  EXPECT_EQ(Counters(watcher).mVersion, 1u);
  ASSERT_TRUE(DeliverFrame(port, KnownFrame("E46"), watcher));

  const uint64_t rejectedBefore = Counters(watcher).mDatagramsRejected;
  const uint64_t mark = mHost.Mark();
  const std::vector<uint8_t> junk[] = {{0x01}, std::vector<uint8_t>(1143, 0), std::vector<uint8_t>(1145, 0)};
  for (int round = 0; round < 3; ++round) {
    for (const auto& datagram : junk) ASSERT_TRUE(SendUdp(port, datagram));
  }
  // The frame sent after them arrives after them: once it is published, all
  // nine were processed.
  size_t framesSent = 0;
  bool published = false;
  for (int attempt = 0; attempt < 100 && !published; ++attempt) {
    ASSERT_TRUE(SendUdp(port, KnownFrame("E46")));
    ++framesSent;
    published = TickUntilQuiet([&] { return !Outputs(mark, watcher, "rcpk").empty(); });
  }
  ASSERT_TRUE(published);
  EXPECT_EQ(Counters(watcher).mDatagramsRejected - rejectedBefore, 9u);
  const size_t triggers = Outputs(mark, watcher, "rcpk").size();
  EXPECT_LE(triggers, framesSent) << "a trigger without a frame";
  EXPECT_EQ(Outputs(mark, watcher, "skel").size(), triggers) << "one skeleton per frame, none per non-frame";
  EXPECT_EQ(Counters(watcher).mFramesAccepted, mHost.OutputsSince(0, &watcher, "rcpk").size());
  EXPECT_EQ(Counters(watcher).mMessagesDropped, 0u);
}

TEST_F(WatcherActor, EachInstanceOnAPortCountsForItself) {
  const uint16_t port = FindFreeUdpPort();
  CActorInstance& one = Watch(port);
  CActorInstance& two = Watch(port, "404");  // filters out suit E46
  ASSERT_TRUE(DeliverFrame(port, KnownFrame("E46"), one));
  ASSERT_TRUE(SendUdp(port, {0x7F}));
  ASSERT_TRUE(DeliverFrame(port, KnownFrame("E46"), one));
  EXPECT_GE(Counters(one).mFramesAccepted, 2u);
  EXPECT_EQ(Counters(two).mFramesAccepted, 0u) << "a filtered frame is neither accepted nor rejected";
  EXPECT_EQ(Counters(one).mDatagramsRejected, 1u);
  EXPECT_EQ(Counters(two).mDatagramsRejected, 1u);
}

TEST_F(WatcherActor, WithoutItsDataBlockAnInstanceIgnoresEveryCallbackAndKeepsTheCount) {
  mHost.MemoryServices().Switches().mFailAllocateMemory = true;
  CActorInstance& broken = mHost.AddInstance(*mPlugin);
  mHost.Create(broken);
  mHost.MemoryServices().Switches().mFailAllocateMemory = false;
  ASSERT_EQ(mHost.Assertions().size(), 1u);
  EXPECT_EQ(mHost.Assertions()[0].mCondition, "info != nil");
  EXPECT_EQ(mHost.Assertions()[0].mActorName, "Kavrin Studio Live Watcher");

  const uint64_t mark = mHost.Mark();
  mHost.PresetInput(broken, In("recv_ip_port", broken), CHostValue::Integer(0));
  mHost.Activate(broken);
  mHost.Tick();
  EXPECT_TRUE(Outputs(mark, broken).empty());
  CActorInstance& healthy = Watch(0);
  mHost.Dispose(broken);
  mHost.Dispose(healthy);
  ASSERT_EQ(mHost.Assertions().size(), 2u);
  EXPECT_EQ(mHost.Assertions()[1].mCondition, "ioActorInfo->mActorDataPtr != nil");
}

TEST_F(WatcherActor, ASecondDisposalOfOneInstanceLeavesTheInstanceCountBalanced) {
  CActorInstance& first = Watch(0);
  mHost.Dispose(first);
  mPlugin->mDisposeActor(mHost.Parameters(), first.Info());  // the same record again
  EXPECT_FALSE(mHost.Assertions().empty());
  mHost.ClearAssertions();
  // The next instance's disposal is the last one again: no assertion, and
  // it joins the receiver threads.
  CActorInstance& second = Watch(0);
  mHost.Dispose(second);
  EXPECT_TRUE(mHost.Assertions().empty()) << mHost.Assertions().front().mCondition;
}

TEST_F(WatcherActor, AnUnknownInputIsReportedAndDeclarationsAreExact) {
  CActorInstance& watcher = Watch(0);
  mHost.InjectInput(watcher, 1, CHostValue::Integer(0), 0);
  EXPECT_TRUE(mHost.Assertions().empty());
  EXPECT_EQ(mHost.ValueToString(watcher, 2, 1, CHostValue::Data(nullptr)).value_or("-"), "skeleton");
  EXPECT_FALSE(mHost.ValueToString(watcher, 1, 1, CHostValue::Integer(3)).has_value());
  EXPECT_FALSE(mHost.StringToValue(watcher, 1, 1, "14043").has_value());
  EXPECT_EQ(mHost.HelpText(watcher, 2, 3), "Sends a trigger whenever the 'skeleton' or 'error' output changes.");
  EXPECT_EQ(mHost.HelpText(watcher, 0, 0, 12), "Receives mo");
}

TEST(WatcherPatch, AnErrorOutputThatStaysEmptyIsShownOnceAsEmpty) {
  // The receiver taken during activation publishes no error text, so a user
  // watching `error` must still be told that it is empty.
  std::ostringstream out;
  vhost::CRunOptions options;
  options.mPaced = false;
  const char* dir = std::getenv("VORL_PLUGIN_DIR");  // set by ctest
  options.mPluginDirs.emplace_back(dir != nullptr ? dir : ".");
  vhost::CPatchRunner runner(
      vhost::ParsePatch("actor w kavrin_watcher recv_ip_port=0\nticks 3\nprint w.error\n", "w.patch"),
      options, out);
  EXPECT_EQ(runner.Run(), 0);
  const std::string line = "w.error = ''  (nothing sent yet)\n";
  ASSERT_NE(out.str().find(line), std::string::npos) << out.str();
  EXPECT_EQ(out.str().find(line), out.str().rfind(line)) << out.str();
}

}  // namespace
