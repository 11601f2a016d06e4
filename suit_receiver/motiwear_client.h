// CMotiWearClient: one listener of a receiver (one watcher instance).
//
// The record is created, owned and destroyed by the listener; a client list
// only points to it, so the listener removes it from every list before
// freeing it.
//
// Thread-safety: mSuitID is guarded by the lock of the list the client is in
// (change it with CMotiWearClientList::SetSuitID); the callback runs on the
// host's main thread, inside CMotiWearPro::Service.
#pragma once

#include <string>

class CMotiWearMessage;

// [main thread] Called once per received message. The message is valid for
// the duration of the call; a callback that keeps it calls Retain on it.
using MotiWearClientCallback = void (*)(void* context, CMotiWearMessage* message);

struct CMotiWearClient {
  MotiWearClientCallback mCallback = nullptr;
  void* mContext = nullptr;  // handed back as the callback's first argument
  std::string mSuitID;       // the suit filter its owner applies; empty: every suit
};
