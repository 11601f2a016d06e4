// CMutex kinds and the client list: membership, filters, delivery.

#include <gtest/gtest.h>

#include <vector>

#include "suit_receiver/cmutex.h"
#include "suit_receiver/motiwear_client_list.h"
#include "suit_receiver/motiwear_message.h"
#include "tools/suitsim/suit_frame.h"

class AMutex : public ::testing::Test {
 protected:
  // These tests take a lock twice on purpose, which clang's lock analysis
  // rightly refuses in real code; the calls go through here, out of its sight.
  static int Lock(CMutex& mutex) VORL_NO_THREAD_SAFETY_ANALYSIS { return mutex.Lock(); }
  static int Unlock(CMutex& mutex) VORL_NO_THREAD_SAFETY_ANALYSIS { return mutex.Unlock(); }
};

TEST_F(AMutex, ThatChecksErrorsRefusesASecondLockByItsOwner) {
  CMutex mutex(false);
  ASSERT_TRUE(mutex.IsValid());
  EXPECT_EQ(1, Lock(mutex));
#if defined(_WIN32)
  // A critical section is always recursive: the second lock nests.
  EXPECT_EQ(2, Lock(mutex));
  EXPECT_EQ(1, Unlock(mutex));
#else
  EXPECT_EQ(1, Lock(mutex));  // refused at once instead of deadlocking
#endif
  EXPECT_EQ(0, Unlock(mutex));
}

TEST_F(AMutex, ThatIsRecursiveCountsNestedLocks) {
  CMutex mutex(true);
  EXPECT_EQ(1, Lock(mutex));
  EXPECT_EQ(2, Lock(mutex));
  EXPECT_EQ(1, Unlock(mutex));
  EXPECT_EQ(0, Unlock(mutex));
}

namespace {

struct Listener {
  std::vector<CMotiWearMessage*> mReceived;
  CMotiWearClientList* mListToRefilter = nullptr;
  CMotiWearClient* mClientToRefilter = nullptr;

  ~Listener() {
    for (CMotiWearMessage* message : mReceived) message->Release();
  }
};

void Collect(void* context, CMotiWearMessage* message) {
  auto* listener = static_cast<Listener*>(context);
  message->Retain();
  listener->mReceived.push_back(message);
  if (listener->mListToRefilter != nullptr) {
    listener->mListToRefilter->SetSuitID(listener->mClientToRefilter, "404");
  }
}

CMotiWearMessage* MakeFrameMessage() {
  const auto bytes = EncodeSuitFrame(SuitFrame{});
  return CMotiWearMessage::ReadMotiWearMessages(bytes.data(), bytes.size())[0];
}

}  // namespace

class AClientList : public ::testing::Test {
 protected:
  CMotiWearClientList mList;
  Listener mFirst;
  Listener mSecond;
  CMotiWearClient mA{Collect, &mFirst, ""};
  CMotiWearClient mB{Collect, &mSecond, ""};
};

TEST_F(AClientList, KeepsAClientAddedTwiceOnce) {
  mList.AddClient(&mA);
  mList.AddClient(&mA);
  mList.AddClient(nullptr);
  EXPECT_EQ(1u, mList.GetClientCount());
  CMotiWearMessage* message = MakeFrameMessage();
  mList.NotifyClientsMessageReceived(message);
  message->Release();
  EXPECT_EQ(1u, mFirst.mReceived.size());
}

TEST_F(AClientList, RemovesOnlyTheClientAskedFor) {
  CMotiWearClient c{Collect, &mFirst, ""};
  mList.AddClient(&mA);
  mList.AddClient(&mB);
  mList.AddClient(&c);
  mList.RemoveClient(&mB);
  mList.RemoveClient(&mB);
  EXPECT_EQ(2u, mList.GetClientCount());
  EXPECT_TRUE(mList.HasClient(&mA));
  EXPECT_TRUE(mList.HasClient(&c));
  EXPECT_FALSE(mList.HasClient(&mB));
}

TEST_F(AClientList, SetsTheFilterOfListedClientsOnly) {
  mList.AddClient(&mA);
  mList.SetSuitID(&mA, "E46");
  mList.SetSuitID(&mB, "E46");
  EXPECT_EQ("E46", mA.mSuitID);
  EXPECT_EQ("", mB.mSuitID);
}

TEST_F(AClientList, CallsEveryCompleteClientWithEveryMessage) {
  CMotiWearClient noCallback{nullptr, &mFirst, ""};
  CMotiWearClient noContext{Collect, nullptr, ""};
  mA.mSuitID = "404";  // the list itself does not filter
  mList.AddClient(&noCallback);
  mList.AddClient(&mA);
  mList.AddClient(&noContext);
  mList.AddClient(&mB);
  CMotiWearMessage* message = MakeFrameMessage();
  mList.NotifyClientsMessageReceived(message);
  EXPECT_EQ(3, message->GetRefCount());
  message->Release();
  ASSERT_EQ(1u, mFirst.mReceived.size());
  ASSERT_EQ(1u, mSecond.mReceived.size());
  EXPECT_EQ(mFirst.mReceived[0], mSecond.mReceived[0]);
}

TEST_F(AClientList, CallsNobodyForAMessageWithoutAFrame) {
  mList.AddClient(&mA);
  CMotiWearMessage* message = MakeFrameMessage();
  CMotiWearData* frame = message->mData;
  message->mData = nullptr;
  mList.NotifyClientsMessageReceived(message);
  mList.NotifyClientsMessageReceived(nullptr);
  message->mData = frame;
  message->Release();
  EXPECT_TRUE(mFirst.mReceived.empty());
}

TEST_F(AClientList, LetsACallbackChangeAFilterOnTheSameList) {
  mFirst.mListToRefilter = &mList;
  mFirst.mClientToRefilter = &mB;
  mList.AddClient(&mA);
  mList.AddClient(&mB);
  CMotiWearMessage* message = MakeFrameMessage();
  mList.NotifyClientsMessageReceived(message);
  message->Release();
  EXPECT_EQ("404", mB.mSuitID);
  EXPECT_EQ(1u, mSecond.mReceived.size());
}
