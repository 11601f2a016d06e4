// The UDP receiver on real loopback sockets: delivery, errors, and the end
// of its thread and of the object.

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "suit_receiver/motiwear_message.h"
#include "suit_receiver/motiwear_pro.h"
#include "suit_receiver/receiver_threads.h"
#include "tests/suit_receiver/udp_test_support.h"
#include "tools/suitsim/suit_frame.h"
#include "tools/suitsim/walking_figure.h"

namespace {

struct Inbox {
  std::vector<CMotiWearMessage*> mMessages;
  ~Inbox() { Clear(); }
  void Clear() {
    for (CMotiWearMessage* message : mMessages) message->Release();
    mMessages.clear();
  }
};

void Keep(void* context, CMotiWearMessage* message) {
  message->Retain();
  static_cast<Inbox*>(context)->mMessages.push_back(message);
}

struct CountingOwner : CMotiWearOwner {
  int mNotifications = 0;
  CMotiWearPro* mLast = nullptr;
  void NotifyMotiWearRelease(CMotiWearPro* pro) override {
    ++mNotifications;
    mLast = pro;
  }
};

std::vector<uint8_t> Frame(const std::string& suit, uint32_t number) {
  return EncodeSuitFrame(CWalkingFigure(0).FrameAt(suit, number / 100.0, number));
}

bool NoThreadsRunning() { return CMotiWearPro::sMotiWearThreadsRunning.load() == 0; }

}  // namespace

class AReceiver : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WaitUntil(NoThreadsRunning)) << "a receiver thread from an earlier test lives on";
    mPort = FindFreeUdpPort();
  }
  void TearDown() override {
    EXPECT_TRUE(WaitUntil(NoThreadsRunning));
    CReceiverThreads::JoinAll();  // as the watcher's last dispose does
  }

  // A receiver on mPort whose socket is bound.
  CMotiWearPro* StartReceiver(CMotiWearOwner* owner = nullptr) {
    auto* pro = new CMotiWearPro(nullptr, owner, "", mPort);
    EXPECT_TRUE(WaitUntil([&] { return pro->IsListening(); }));
    return pro;
  }

  // Calls Service until `inbox` holds `count` messages.
  static bool ServiceUntil(CMotiWearPro* pro, Inbox& inbox, size_t count) {
    return WaitUntil([&] {
      pro->Service();
      return inbox.mMessages.size() >= count;
    });
  }

  uint16_t mPort = 0;
};

TEST_F(AReceiver, DecodesADatagramOnceForTwoClients) {
  CMotiWearPro* pro = StartReceiver();
  Inbox first;
  Inbox second;
  CMotiWearClient a{Keep, &first, ""};
  CMotiWearClient b{Keep, &second, "E46"};
  pro->mClients.AddClient(&a);
  pro->mClients.AddClient(&b);

  ASSERT_TRUE(SendUdp(mPort, Frame("E46", 1)));
  ASSERT_TRUE(ServiceUntil(pro, second, 1));
  pro->Service();
  ASSERT_EQ(1u, first.mMessages.size());
  ASSERT_EQ(1u, second.mMessages.size());
  EXPECT_EQ(first.mMessages[0], second.mMessages[0]);
  EXPECT_EQ(2, first.mMessages[0]->GetRefCount());  // the queue's reference is gone
  EXPECT_TRUE(first.mMessages[0]->mData->mNewData);
  EXPECT_EQ("E46", first.mMessages[0]->mData->mSuitID);

  pro->mClients.RemoveClient(&a);
  pro->mClients.RemoveClient(&b);
  pro->Release();
}

TEST_F(AReceiver, WithAnEmptyQueueCallsNoClient) {
  CMotiWearPro* pro = StartReceiver();
  Inbox inbox;
  CMotiWearClient client{Keep, &inbox, ""};
  pro->mClients.AddClient(&client);
  pro->Service();
  EXPECT_TRUE(inbox.mMessages.empty());
  pro->mClients.RemoveClient(&client);
  pro->Release();
}

TEST_F(AReceiver, KeepsReceivingAfterAnEmptyDatagram) {
  CMotiWearPro* pro = StartReceiver();
  Inbox inbox;
  CMotiWearClient client{Keep, &inbox, ""};
  pro->mClients.AddClient(&client);

  ASSERT_TRUE(SendUdp(mPort, {}));
  ASSERT_TRUE(SendUdp(mPort, Frame("E46", 2)));
  ASSERT_TRUE(ServiceUntil(pro, inbox, 1));
  EXPECT_TRUE(inbox.mMessages[0]->mData->mNewData);  // the frame, not the empty one
  ASSERT_TRUE(SendUdp(mPort, {}));
  ASSERT_TRUE(SendUdp(mPort, Frame("E46", 3)));
  ASSERT_TRUE(ServiceUntil(pro, inbox, 2));
  EXPECT_EQ(2u, inbox.mMessages.size());
  std::string error;
  EXPECT_EQ(0, pro->ReadError(&error));

  pro->mClients.RemoveClient(&client);
  pro->Release();
}

TEST_F(AReceiver, TurnsAnyNonEmptyDatagramIntoOneMessage) {
  CMotiWearPro* pro = StartReceiver();
  Inbox inbox;
  CMotiWearClient client{Keep, &inbox, ""};
  pro->mClients.AddClient(&client);
  ASSERT_TRUE(SendUdp(mPort, std::vector<uint8_t>(1, 0x40)));
  ASSERT_TRUE(SendUdp(mPort, std::vector<uint8_t>(1143, 0x40)));
  ASSERT_TRUE(SendUdp(mPort, std::vector<uint8_t>(5000, 0x40)));  // arrives cut to 4096
  ASSERT_TRUE(ServiceUntil(pro, inbox, 3));
  for (CMotiWearMessage* message : inbox.mMessages) {
    EXPECT_FALSE(message->mData->mNewData);
    EXPECT_TRUE(message->mData->mSuitID.empty());
  }
  pro->mClients.RemoveClient(&client);
  pro->Release();
}

TEST_F(AReceiver, ReportsABindErrorOnceAndClosesItsSocket) {
  const int holder = OccupyUdpPort(mPort);
  ASSERT_GE(holder, 0);
  auto* pro = new CMotiWearPro(nullptr, nullptr, "", mPort);
  ASSERT_TRUE(WaitUntil([&] { return pro->IsThreadDone(); }));
  std::string error;
  EXPECT_EQ(1, pro->ReadError(&error));
  EXPECT_EQ("socket: bind error " + std::to_string(AddressInUseError()), error);
  EXPECT_FALSE(pro->IsSocketOpen());
  EXPECT_TRUE(WaitUntil(NoThreadsRunning));
  pro->Release();  // the thread is gone: this destroys the receiver
  CloseSocket(holder);
}

TEST_F(AReceiver, ReportsAGroupThatIsNoAddress) {
  auto* pro = new CMotiWearPro(nullptr, nullptr, "not-a-group", mPort);
  ASSERT_TRUE(WaitUntil([&] { return pro->IsThreadDone(); }));
  std::string error;
  EXPECT_EQ(1, pro->ReadError(&error));
  const std::string prefix = "socket: failed to join multicast group ";
  EXPECT_EQ(prefix, error.substr(0, prefix.size())) << error;
  EXPECT_NE(std::string::npos, error.find(" (not-a-group)")) << error;
  EXPECT_FALSE(pro->IsListening());
  EXPECT_FALSE(pro->IsSocketOpen());
  pro->Release();
}

TEST_F(AReceiver, WhoseErrorTextCannotBeStoredEndsItsThreadAndStillSaysSo) {
  // Running out of memory on the network thread must not end the process;
  // the thread ends as any other, so the watcher's last instance can go.
  CMotiWearPro::sFailErrorTextForTesting = true;
  auto* pro = new CMotiWearPro(nullptr, nullptr, "not-a-group", mPort);
  const bool done = WaitUntil([&] { return pro->IsThreadDone(); });
  CMotiWearPro::sFailErrorTextForTesting = false;
  ASSERT_TRUE(done);
  std::string error;
  EXPECT_EQ(1, pro->ReadError(&error));
  EXPECT_EQ("receiver thread stopped: std::bad_alloc", error);
  EXPECT_FALSE(pro->IsSocketOpen());
  EXPECT_TRUE(WaitUntil(NoThreadsRunning));
  pro->Release();
}

TEST_F(AReceiver, EndsItsThreadAfterTheLastRelease) {
  CountingOwner owner;
  CMotiWearPro* pro = StartReceiver(&owner);
  EXPECT_TRUE(pro->IsSocketOpen());
  EXPECT_EQ(1, CMotiWearPro::sMotiWearThreadsRunning.load());
  pro->Retain();
  pro->Release();
  EXPECT_EQ(0, owner.mNotifications);
  EXPECT_EQ(1, CMotiWearPro::sMotiWearThreadsRunning.load());
  pro->Release();
  EXPECT_EQ(1, owner.mNotifications);
  EXPECT_EQ(pro, owner.mLast);
  // The thread closes the socket before its last action, lowering the count
  // (the receivers that end on a failure above show the socket closed).
  EXPECT_TRUE(WaitUntil(NoThreadsRunning));
}

TEST_F(AReceiver, DropsMessagesNobodyCollectedWhenItGoes) {
  CMotiWearPro* pro = StartReceiver();
  for (uint32_t i = 0; i < 5; ++i) ASSERT_TRUE(SendUdp(mPort, Frame("E46", i)));
  ASSERT_TRUE(WaitUntil([&] { return pro->GetPendingCount() == 5; }));
  pro->Release();  // the leak checker of the address-sanitizer build watches these
}

TEST_F(AReceiver, KeepsTheNewestMessagesWhenNobodyCollectsThem) {
  CMotiWearPro::sPendingLimitForTesting = 10;
  CMotiWearPro* pro = StartReceiver();
  // One byte is enough to queue a message; each carries its number.
  for (uint8_t i = 0; i < 25; ++i) ASSERT_TRUE(SendUdp(mPort, {i}));
  const bool settled = WaitUntil([&] { return pro->GetPendingCount() + pro->GetDroppedCount() >= 25; });
  CMotiWearPro::sPendingLimitForTesting = 0;
  ASSERT_TRUE(settled) << pro->GetPendingCount() << " pending, " << pro->GetDroppedCount() << " dropped";
  EXPECT_EQ(10u, pro->GetPendingCount());
  EXPECT_EQ(15u, pro->GetDroppedCount());

  Inbox inbox;
  CMotiWearClient client{Keep, &inbox, ""};
  pro->mClients.AddClient(&client);
  pro->Service();
  EXPECT_EQ(10u, inbox.mMessages.size());
  for (CMotiWearMessage* message : inbox.mMessages) EXPECT_FALSE(message->mData->mNewData);
  EXPECT_EQ(15u, pro->GetDroppedCount()) << "collecting drops nothing";
  pro->mClients.RemoveClient(&client);
  pro->Release();
}

TEST_F(AReceiver, IsNotListeningWhenItsBindFailed) {
  const int holder = OccupyUdpPort(mPort);
  ASSERT_GE(holder, 0);
  auto* pro = new CMotiWearPro(nullptr, nullptr, "", mPort);
  ASSERT_TRUE(WaitUntil([&] { return pro->IsThreadDone(); }));
  EXPECT_FALSE(pro->IsListening());
  pro->Release();
  CloseSocket(holder);
}

TEST_F(AReceiver, ThatCannotStartItsThreadSaysSoAndLeavesNothingRunning) {
  CountingOwner owner;
  CMotiWearPro::sSimulateThreadStartFailure = true;
  auto* pro = new CMotiWearPro(nullptr, &owner, "", mPort);
  CMotiWearPro::sSimulateThreadStartFailure = false;
  EXPECT_EQ(0, CMotiWearPro::sMotiWearThreadsRunning.load());
  EXPECT_TRUE(pro->IsThreadDone());
  std::string error;
  EXPECT_EQ(1, pro->ReadError(&error));
  EXPECT_EQ("thread constructor failed", error);
  pro->Release();
  EXPECT_EQ(1, owner.mNotifications);
}

TEST_F(AReceiver, JoinsAMulticastGroupAndReceivesWhatIsSentToIt) {
  auto* pro = new CMotiWearPro(nullptr, nullptr, "239.255.43.21", mPort);
  Inbox inbox;
  CMotiWearClient client{Keep, &inbox, ""};
  pro->mClients.AddClient(&client);
  ASSERT_TRUE(WaitUntil([&] { return pro->IsListening() || pro->IsThreadDone(); }));
  std::string error;
  if (pro->ReadError(&error) != 0) {
    pro->mClients.RemoveClient(&client);
    pro->Release();
    GTEST_SKIP() << "no multicast on this machine: " << error;
  }
  ASSERT_TRUE(SendUdpTo("239.255.43.21", mPort, Frame("E46", 4)));
  ASSERT_TRUE(ServiceUntil(pro, inbox, 1));
  EXPECT_EQ("E46", inbox.mMessages[0]->mData->mSuitID);
  pro->mClients.RemoveClient(&client);
  pro->Release();
}
