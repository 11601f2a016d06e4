// The Windows side of CMutex: a critical section, always recursive.
#include "suit_receiver/cmutex.h"

CMutex::CMutex(bool recursive) : mRecursive(recursive) {
  InitializeCriticalSection(&mMutex);
  mValid = true;
}

CMutex::~CMutex() {
  if (mValid) DeleteCriticalSection(&mMutex);
  mValid = false;
}

int CMutex::Lock() {
  Acquire();
  return mLockCount;
}

bool CMutex::Acquire() {
  if (!mValid) return false;
  EnterCriticalSection(&mMutex);
  ++mLockCount;
  return true;
}

int CMutex::Unlock() {
  if (!mValid) return mLockCount - 1;
  const int count = --mLockCount;
  LeaveCriticalSection(&mMutex);
  return count;
}
