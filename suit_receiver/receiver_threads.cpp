#include "suit_receiver/receiver_threads.h"

#include <utility>

std::mutex CReceiverThreads::sMutex;
std::vector<CReceiverThreads::CEntry> CReceiverThreads::sEntries;

void CReceiverThreads::Start(std::function<void()> body) {
  for (std::thread& ended : Take(true)) ended.join();
  std::lock_guard lock(sMutex);
  sEntries.reserve(sEntries.size() + 1);  // no throw after the thread exists
  // The new thread marks itself under sMutex, which this scope holds until
  // its entry is in the list.
  std::thread thread([work = std::move(body)] {
    work();
    MarkEnded(std::this_thread::get_id());
  });
  sEntries.emplace_back(std::move(thread));
}

void CReceiverThreads::JoinAll() {
  for (std::thread& thread : Take(false)) thread.join();
}

size_t CReceiverThreads::GetCount() {
  std::lock_guard lock(sMutex);
  return sEntries.size();
}

void CReceiverThreads::MarkEnded(std::thread::id id) {
  std::lock_guard lock(sMutex);
  for (CEntry& entry : sEntries) {
    if (entry.mThread.get_id() == id) entry.mEnded = true;
  }
}

std::vector<std::thread> CReceiverThreads::Take(bool onlyEnded) {
  std::vector<std::thread> taken;
  std::lock_guard lock(sMutex);
  std::vector<CEntry> kept;
  for (CEntry& entry : sEntries) {
    if (!onlyEnded || entry.mEnded) {
      taken.push_back(std::move(entry.mThread));
    } else {
      kept.emplace_back(std::move(entry));
    }
  }
  sEntries.swap(kept);
  return taken;
}
