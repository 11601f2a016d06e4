// CMutex: the lock of every suit receiver class (decoded frames, receivers,
// client lists, the registry).
//
// On POSIX it is a pthread mutex, either recursive or error-checking: an
// error-checking lock taken twice by the same thread fails at once instead of
// deadlocking, which turns a lock-order slip into a visible failure. On
// Windows it is a critical section, which is always recursive.
//
// Thread-safety: Lock and Unlock may be called from any thread; mLockCount is
// only touched by the thread that holds the lock.
#pragma once

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <pthread.h>
#endif

#include "suit_receiver/thread_annotations.h"

class VORL_CAPABILITY("mutex") CMutex {
 public:
  // `recursive` is ignored on Windows, where every CMutex is recursive.
  explicit CMutex(bool recursive);
  // REQUIRES: the lock is not held.
  ~CMutex();

  CMutex(const CMutex&) = delete;
  CMutex& operator=(const CMutex&) = delete;

  // Returns mLockCount after the call; it is unchanged when locking failed
  // (an error-checking lock already held by this thread, or an invalid lock).
  int Lock() VORL_ACQUIRE();
  // Returns the decremented count, also when the platform unlock failed (the
  // count itself is then restored).
  int Unlock() VORL_RELEASE();

  // Locks as Lock does and says whether it took the lock: false for an error-checking lock
  // already held by this thread, or an invalid lock. Only a true result may
  // be matched by Unlock.
  bool Acquire() VORL_TRY_ACQUIRE(true);

  bool IsValid() const { return mValid; }

 private:
#if defined(_WIN32)
  CRITICAL_SECTION mMutex;
#else
  pthread_mutex_t mMutex;
#endif
  bool mValid = false;
  int mLockCount = 0;
  bool mRecursive;
};

// Holds a CMutex for the lifetime of a scope. When the lock could not be
// taken (an error-checking lock already held by this same thread, further
// out) the scope unlocks nothing at its end: the outer holder keeps the lock.
class VORL_SCOPED_CAPABILITY CMutexLock {
 public:
  // The analysis sees the lock as held for the whole scope, as it is by this
  // thread in either case; it cannot follow the conditional release.
  explicit CMutexLock(CMutex& mutex) VORL_ACQUIRE(mutex) VORL_NO_THREAD_SAFETY_ANALYSIS
      : mMutex(mutex),
        mHeld(mMutex.Acquire()) {}
  ~CMutexLock() VORL_RELEASE() VORL_NO_THREAD_SAFETY_ANALYSIS {
    if (mHeld) mMutex.Unlock();
  }

  CMutexLock(const CMutexLock&) = delete;
  CMutexLock& operator=(const CMutexLock&) = delete;

  // True when this scope took the lock and will release it.
  bool Holds() const { return mHeld; }

 private:
  CMutex& mMutex;
  const bool mHeld;
};
