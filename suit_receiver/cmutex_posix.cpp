// The POSIX side of CMutex: a pthread mutex, recursive or error-checking.
#include "suit_receiver/cmutex.h"

CMutex::CMutex(bool recursive) : mRecursive(recursive) {
  pthread_mutexattr_t attr;
  if (pthread_mutexattr_init(&attr) != 0) return;
  const int type = mRecursive ? PTHREAD_MUTEX_RECURSIVE : PTHREAD_MUTEX_ERRORCHECK;
  const bool typed = pthread_mutexattr_settype(&attr, type) == 0;
  const bool made = typed && pthread_mutex_init(&mMutex, &attr) == 0;
  pthread_mutexattr_destroy(&attr);
  mValid = made;
}

CMutex::~CMutex() {
  if (mValid) pthread_mutex_destroy(&mMutex);
  mValid = false;
}

int CMutex::Lock() {
  Acquire();
  return mLockCount;
}

bool CMutex::Acquire() {
  if (!mValid || pthread_mutex_lock(&mMutex) != 0) return false;
  ++mLockCount;
  return true;
}

int CMutex::Unlock() {
  const int count = --mLockCount;
  if (!mValid || pthread_mutex_unlock(&mMutex) != 0) ++mLockCount;
  return count;
}
