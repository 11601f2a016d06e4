// CMutex kinds and the client list: membership, filters, delivery.

#include <gtest/gtest.h>

#include <thread>
#include <type_traits>
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

#if !defined(_WIN32)
namespace {

// Whether some thread holds the lock, asked from a thread of its own with a
// try-lock, which never blocks. The platform mutex is CMutex's first field.
bool HeldAsSeenFromAnotherThread(CMutex& mutex) {
  static_assert(std::is_standard_layout_v<CMutex>);
  bool held = false;
  std::thread([&] {
    auto* raw = reinterpret_cast<pthread_mutex_t*>(&mutex);
    if (pthread_mutex_trylock(raw) == 0) {
      pthread_mutex_unlock(raw);
    } else {
      held = true;
    }
  }).join();
  return held;
}

// An outer scope that holds the lock, and inside it a nested scope on the
// same lock; on the way, what another thread sees.
struct NestedScopes {
  bool mInnerHolds = true;
  bool mHeldAfterInner = false;
  bool mHeldAfterOuter = true;
};
NestedScopes LockTwiceInNestedScopes(CMutex& mutex) VORL_NO_THREAD_SAFETY_ANALYSIS {
  NestedScopes seen;
  {
    CMutexLock outer(mutex);
    {
      CMutexLock inner(mutex);
      seen.mInnerHolds = inner.Holds();
    }
    seen.mHeldAfterInner = HeldAsSeenFromAnotherThread(mutex);
  }
  seen.mHeldAfterOuter = HeldAsSeenFromAnotherThread(mutex);
  return seen;
}

}  // namespace

TEST_F(AMutex, ThatChecksErrorsStaysHeldWhenANestedScopeCouldNotTakeIt) {
  CMutex mutex(false);
  const NestedScopes seen = LockTwiceInNestedScopes(mutex);
  EXPECT_FALSE(seen.mInnerHolds) << "an error-checking lock refuses its owner";
  EXPECT_TRUE(seen.mHeldAfterInner) << "the nested scope released the outer scope's lock";
  EXPECT_FALSE(seen.mHeldAfterOuter);
  EXPECT_EQ(1, Lock(mutex)) << "the count came back to 0";
  EXPECT_EQ(0, Unlock(mutex));
}

TEST_F(AMutex, ThatIsRecursiveStaysHeldUntilTheOutermostScopeEnds) {
  CMutex mutex(true);
  const NestedScopes seen = LockTwiceInNestedScopes(mutex);
  EXPECT_TRUE(seen.mInnerHolds);
  EXPECT_TRUE(seen.mHeldAfterInner);
  EXPECT_FALSE(seen.mHeldAfterOuter);
}
#endif

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

TEST(AMessage, IsRetainedAndReleasedOnSeveralThreadsAtOnceAndDeletedOnce) {
  // The main thread hands messages out and drops them while a receiver
  // thread drops the ones its full queue cannot keep.
  CMotiWearMessage* message = MakeFrameMessage();
  constexpr int kPerThread = 20000;
  for (int i = 0; i < 2 * kPerThread; ++i) message->Retain();
  auto churn = [message] {
    for (int i = 0; i < kPerThread; ++i) {
      message->Retain();
      message->Release();
      message->Release();
    }
  };
  std::thread other(churn);
  churn();
  other.join();
  EXPECT_EQ(1, message->GetRefCount());
  message->Release();  // the last one: the sanitizer builds see a double or missing delete
}

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
