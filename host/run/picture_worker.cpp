#include "host/run/picture_worker.h"

namespace vhost {

CPictureWorker::CPictureWorker(size_t capacity) : mCapacity(capacity), mThread([this] { Work(); }) {}

CPictureWorker::~CPictureWorker() {
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mStop = true;
  }
  mWake.notify_one();
  mThread.join();
}

bool CPictureWorker::TrySubmit(std::function<void()> job) {
  {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mJobs.size() >= mCapacity) return false;
    mJobs.push_back(std::move(job));
  }
  mWake.notify_one();
  return true;
}

void CPictureWorker::Drain() {
  std::unique_lock<std::mutex> lock(mMutex);
  mIdle.wait(lock, [this] { return mJobs.empty() && !mBusy; });
}

void CPictureWorker::Work() {
  std::unique_lock<std::mutex> lock(mMutex);
  for (;;) {
    mWake.wait(lock, [this] { return mStop || !mJobs.empty(); });
    if (mJobs.empty()) return;  // stopping, nothing left
    std::function<void()> job = std::move(mJobs.front());
    mJobs.pop_front();
    mBusy = true;
    lock.unlock();
    // A job that throws loses its own picture only.
    try {
      job();
    } catch (...) {
    }
    lock.lock();
    mBusy = false;
    if (mJobs.empty()) mIdle.notify_all();
  }
}

}  // namespace vhost
