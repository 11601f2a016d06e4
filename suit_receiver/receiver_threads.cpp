#include "suit_receiver/receiver_threads.h"

#include <utility>

CReceiverThreads::CState* CReceiverThreads::sState = nullptr;

void CReceiverThreads::Start(std::function<void()> body) {
  if (sState == nullptr) sState = new CState;
  for (std::thread& ended : Take(true)) ended.join();
  std::lock_guard lock(sState->mMutex);
  sState->mEntries.reserve(sState->mEntries.size() + 1);  // no throw after the thread exists
  // The new thread marks itself under mMutex, which this scope holds until
  // its entry is in the list.
  std::thread thread([work = std::move(body)] {
    // An exception leaving a thread's function ends the whole process, the
    // host's with it; the bodies stop their own, this is the last line.
    try {
      work();
    } catch (...) {
    }
    MarkEnded(std::this_thread::get_id());
  });
  sState->mEntries.emplace_back(std::move(thread));
}

void CReceiverThreads::JoinAll() {
  if (sState == nullptr) return;
  for (std::thread& thread : Take(false)) thread.join();
  // No thread is left to reach the list.
  delete sState;
  sState = nullptr;
}

size_t CReceiverThreads::GetCount() {
  if (sState == nullptr) return 0;
  std::lock_guard lock(sState->mMutex);
  return sState->mEntries.size();
}

void CReceiverThreads::MarkEnded(std::thread::id id) {
  // The list exists: it goes only after this thread was joined.
  std::lock_guard lock(sState->mMutex);
  for (CEntry& entry : sState->mEntries) {
    if (entry.mThread.get_id() == id) entry.mEnded = true;
  }
}

std::vector<std::thread> CReceiverThreads::Take(bool onlyEnded) {
  std::vector<std::thread> taken;
  std::lock_guard lock(sState->mMutex);
  std::vector<CEntry> kept;
  for (CEntry& entry : sState->mEntries) {
    if (!onlyEnded || entry.mEnded) {
      taken.push_back(std::move(entry.mThread));
    } else {
      kept.emplace_back(std::move(entry));
    }
  }
  sState->mEntries.swap(kept);
  return taken;
}
