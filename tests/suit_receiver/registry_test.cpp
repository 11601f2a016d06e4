// The receiver registry: sharing per port, failed receivers, removal.

#include <gtest/gtest.h>

#include <string>

#include "suit_receiver/motiwear_mgr.h"
#include "suit_receiver/receiver_threads.h"
#include "tests/suit_receiver/udp_test_support.h"

namespace {
bool NoThreadsRunning() { return CMotiWearPro::sMotiWearThreadsRunning.load() == 0; }
}  // namespace

class TheRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WaitUntil(NoThreadsRunning)) << "a receiver thread from an earlier test lives on";
    mPort = FindFreeUdpPort();
  }
  void TearDown() override {
    EXPECT_EQ(0u, mRegistry.GetReceiverCount());
    EXPECT_TRUE(WaitUntil(NoThreadsRunning));
    CReceiverThreads::JoinAll();
  }

  CMotiWearMgr mRegistry;
  int mPort = 0;
};

TEST_F(TheRegistry, SharesOneReceiverPerPort) {
  CMotiWearPro* first = mRegistry.AcquireMotiWearPro(nullptr, "", mPort);
  CMotiWearPro* second = mRegistry.AcquireMotiWearPro(nullptr, "", mPort);
  EXPECT_EQ(first, second);
  EXPECT_EQ(2, first->GetRefCount());
  EXPECT_EQ(1u, mRegistry.GetReceiverCount());
  EXPECT_EQ(1, CMotiWearPro::sMotiWearThreadsRunning.load());
  first->Release();
  EXPECT_EQ(1u, mRegistry.GetReceiverCount());
  second->Release();
  EXPECT_EQ(0u, mRegistry.GetReceiverCount());
}

TEST_F(TheRegistry, GivesEachPortItsOwnReceiver) {
  const int otherPort = FindFreeUdpPort();
  CMotiWearPro* first = mRegistry.AcquireMotiWearPro(nullptr, "", mPort);
  CMotiWearPro* second = mRegistry.AcquireMotiWearPro(nullptr, "", otherPort);
  EXPECT_NE(first, second);
  EXPECT_EQ(2u, mRegistry.GetReceiverCount());
  EXPECT_TRUE(WaitUntil([&] { return first->IsListening() && second->IsListening(); }));
  EXPECT_EQ(2, CMotiWearPro::sMotiWearThreadsRunning.load());
  first->Release();
  second->Release();
}

TEST_F(TheRegistry, KeysReceiversByGroupTextAsWellAsPort) {
  CMotiWearPro* plain = mRegistry.AcquireMotiWearPro(nullptr, "", mPort);
  CMotiWearPro* grouped = mRegistry.AcquireMotiWearPro(nullptr, "not-a-group", mPort);
  EXPECT_NE(plain, grouped);
  EXPECT_TRUE(plain->Matches("", mPort));
  EXPECT_FALSE(plain->Matches("", mPort + 1));
  EXPECT_FALSE(grouped->Matches("NOT-A-GROUP", mPort));
  plain->Release();
  grouped->Release();
}

TEST_F(TheRegistry, HandsOutAFailedReceiverAgainWhileItIsHeld) {
  const int holder = OccupyUdpPort(static_cast<uint16_t>(mPort));
  ASSERT_GE(holder, 0);
  CMotiWearPro* failed = mRegistry.AcquireMotiWearPro(nullptr, "", mPort);
  ASSERT_TRUE(WaitUntil([&] { return failed->IsThreadDone(); }));
  CMotiWearPro* again = mRegistry.AcquireMotiWearPro(nullptr, "", mPort);
  EXPECT_EQ(failed, again);
  EXPECT_EQ(2, again->GetRefCount());
  std::string error;
  EXPECT_EQ(1, again->ReadError(&error));
  EXPECT_EQ(0u, error.find("socket: bind error "));
  failed->Release();
  again->Release();
  EXPECT_EQ(0u, mRegistry.GetReceiverCount());

  // Once every holder let go, the port gets a fresh receiver.
  CloseSocket(holder);
  CMotiWearPro* fresh = mRegistry.AcquireMotiWearPro(nullptr, "", mPort);
  EXPECT_TRUE(WaitUntil([&] { return fresh->IsListening(); }));
  EXPECT_EQ(0, fresh->ReadError(nullptr));
  fresh->Release();
}

TEST_F(TheRegistry, ReleasesOnRemovalWhenAskedWithoutANotificationLoop) {
  CMotiWearPro* pro = mRegistry.AcquireMotiWearPro(nullptr, "", mPort);
  pro->Retain();
  mRegistry.RemoveMotiWearPro(pro, true);
  EXPECT_EQ(0u, mRegistry.GetReceiverCount());
  EXPECT_EQ(1, pro->GetRefCount());
  // Unlisted now: a new acquisition makes a new receiver (whose bind then
  // fails while the old one holds the port).
  CMotiWearPro* other = mRegistry.AcquireMotiWearPro(nullptr, "", mPort + 0);
  EXPECT_NE(pro, other);
  mRegistry.RemoveMotiWearPro(pro, false);  // not listed: nothing happens
  pro->Release();
  other->Release();
}

TEST_F(TheRegistry, ForgetsAReceiverWhoseThreadCouldNotStart) {
  CMotiWearPro::sSimulateThreadStartFailure = true;
  CMotiWearPro* pro = mRegistry.AcquireMotiWearPro(nullptr, "", mPort);
  CMotiWearPro::sSimulateThreadStartFailure = false;
  std::string error;
  EXPECT_EQ(1, pro->ReadError(&error));
  EXPECT_EQ("thread constructor failed", error);
  EXPECT_EQ(1u, mRegistry.GetReceiverCount());
  pro->Release();
  EXPECT_EQ(0u, mRegistry.GetReceiverCount());
  EXPECT_EQ(0, CMotiWearPro::sMotiWearThreadsRunning.load());
}
