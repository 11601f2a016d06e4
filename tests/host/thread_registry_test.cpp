// Threads known by the module that started them: the host's own threads are
// the host's, a thread is forgotten when its routine ends however it ends,
// and the host's main thread is named as such.
#include "host/thread_registry.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "host/thread_description.h"

#if !defined(_WIN32)
#include <pthread.h>
#endif

namespace {

TEST(ThreadDescription, NamesTheHostsMainThread) {
  EXPECT_EQ(vhost::DescribeThread(std::this_thread::get_id()), "the host's main thread");
  std::thread other([] {});
  const std::thread::id otherId = other.get_id();
  other.join();
  EXPECT_EQ(vhost::DescribeThread(std::this_thread::get_id(), otherId),
            vhost::ThreadOriginsKnown() ? "a thread the host did not see start"
                                        : "a thread other than the host's main thread");
}

TEST(ThreadRegistry, AThreadTheHostStartsIsTheHostsUntilItsRoutineEnds) {
  if (!vhost::ThreadOriginsKnown()) GTEST_SKIP() << "thread creation is not seen on this platform";
  std::promise<std::thread::id> started;
  std::promise<void> release;
  std::thread worker([&] {
    started.set_value(std::this_thread::get_id());
    release.get_future().wait();
  });
  const std::thread::id id = started.get_future().get();
  const auto origin = vhost::OriginOfThread(id);
  ASSERT_TRUE(origin.has_value());
  EXPECT_TRUE(origin->mByHost);
  EXPECT_EQ(vhost::DescribeThread(id), "a thread created by the host");
  EXPECT_EQ(vhost::LiveThreadsCreatedBy("/no/such/plugin.so"), 0u);
  release.set_value();
  worker.join();
  EXPECT_FALSE(vhost::OriginOfThread(id).has_value());
}

#if !defined(_WIN32)
TEST(ThreadRegistry, AThreadEndingWithPthreadExitIsForgotten) {
  if (!vhost::ThreadOriginsKnown()) GTEST_SKIP() << "thread creation is not seen on this platform";
  struct CSeen {
    std::thread::id mId;
    bool mKnownInside = false;
  } seen;
  pthread_t thread;
  ASSERT_EQ(::pthread_create(
                &thread, nullptr,
                [](void* raw) -> void* {
                  auto* s = static_cast<CSeen*>(raw);
                  s->mId = std::this_thread::get_id();
                  s->mKnownInside = vhost::OriginOfThread(s->mId).has_value();
                  ::pthread_exit(nullptr);
                },
                &seen),
            0);
  ASSERT_EQ(::pthread_join(thread, nullptr), 0);
  EXPECT_TRUE(seen.mKnownInside);
  EXPECT_FALSE(vhost::OriginOfThread(seen.mId).has_value());
}
#endif

}  // namespace
