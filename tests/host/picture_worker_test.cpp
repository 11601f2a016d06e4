// The picture worker never holds up the thread that feeds it: a full queue
// refuses a job at once, and everything it took runs, in order, before
// Drain() returns or the worker goes.
#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <vector>

#include "host/run/picture_worker.h"

TEST(PictureWorker, AFullQueueRefusesAtOnceAndWhatItTookRunsInOrder) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::promise<void> started;
  std::mutex mutex;
  std::vector<int> ran;
  {
    vhost::CPictureWorker worker(3);
    // The first job holds the worker, so the queue fills behind it.
    ASSERT_TRUE(worker.TrySubmit([&] {
      started.set_value();
      released.wait();
    }));
    started.get_future().wait();
    for (int i = 0; i < 3; ++i) {
      EXPECT_TRUE(worker.TrySubmit([&, i] {
        std::lock_guard<std::mutex> lock(mutex);
        ran.push_back(i);
      }));
    }
    EXPECT_FALSE(worker.TrySubmit([&] { ran.push_back(99); })) << "the queue holds 3";
    release.set_value();
    worker.Drain();
    {
      std::lock_guard<std::mutex> lock(mutex);
      EXPECT_EQ(ran, (std::vector<int>{0, 1, 2}));
    }
    EXPECT_TRUE(worker.TrySubmit([&] {
      std::lock_guard<std::mutex> lock(mutex);
      ran.push_back(3);
    })) << "room again once drained";
  }
  EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3})) << "the destructor runs what was queued";
}

TEST(PictureWorker, AJobThatThrowsLosesOnlyItself) {
  std::vector<int> ran;
  vhost::CPictureWorker worker(4);
  ASSERT_TRUE(worker.TrySubmit([] { throw std::runtime_error("disk full"); }));
  ASSERT_TRUE(worker.TrySubmit([&] { ran.push_back(1); }));
  worker.Drain();
  EXPECT_EQ(ran, std::vector<int>{1});
}
