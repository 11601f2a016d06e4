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

// Holds a CMutex for the lifetime of a scope.
class VORL_SCOPED_CAPABILITY CMutexLock {
 public:
  explicit CMutexLock(CMutex& mutex) VORL_ACQUIRE(mutex) : mMutex(mutex) { mMutex.Lock(); }
  ~CMutexLock() VORL_RELEASE() { mMutex.Unlock(); }

  CMutexLock(const CMutexLock&) = delete;
  CMutexLock& operator=(const CMutexLock&) = delete;

 private:
  CMutex& mMutex;
};
