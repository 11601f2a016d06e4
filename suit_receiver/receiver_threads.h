// CReceiverThreads: every receiver thread the plug-in started, kept joinable
// so that the plug-in's last instance can wait until each of them has fully
// ended. A thread that only said it is done may still run code of the
// plug-in file (its return, the standard library's thread-state cleanup); a
// host may unload the file as soon as the last DisposeActor returns.
//
// The list lives on the heap from the first Start to the JoinAll that empties
// it, never in a static destructor's reach: a process that ends with
// receivers still running must not free it under their feet.
//
// Thread-safety: Start, JoinAll and GetCount are called on the host's main
// thread; a receiver thread only marks its own entry ended.
#pragma once

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class CReceiverThreads {
 public:
  // Starts `body` on a new thread; an exception that leaves `body` is
  // dropped there (a body should stop its own, knowing what to record). Threads that have ended
  // since the last call are joined first, so the list stays as short as the live threads. Throws
  // what std::thread throws when no thread can be started.
  static void Start(std::function<void()> body);

  // Joins every thread started so far. REQUIRES: each of them has been told
  // to stop (or is about to end on its own).
  static void JoinAll();

  // Threads started and not yet joined.
  static size_t GetCount();

 private:
  struct CEntry {
    CEntry(std::thread thread) : mThread(std::move(thread)) {}
    CEntry(CEntry&&) = default;
    CEntry& operator=(CEntry&&) = delete;
    // A thread still running when the list goes (the process ends with live
    // instances) is left to the process's end rather than terminating it.
    ~CEntry() {
      if (mThread.joinable()) mThread.detach();
    }

    std::thread mThread;
    bool mEnded = false;  // under mMutex: the body has returned
  };

  // Marks the calling thread's entry ended; its last access to the list.
  static void MarkEnded(std::thread::id id);
  // Takes the entries (only the ended ones when asked) out of the list.
  static std::vector<std::thread> Take(bool onlyEnded);

  struct CState {
    std::mutex mMutex;
    std::vector<CEntry> mEntries;
  };
  // Set by Start when null, deleted by JoinAll once no thread is left.
  static CState* sState;
};
