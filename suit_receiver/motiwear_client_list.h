// CMotiWearClientList: the clients of one receiver, in the order they were
// added, each at most once.
//
// The list does not filter by suit: every client is called with every
// message, and the client's owner applies the client's mSuitID itself.
//
// Thread-safety: every member takes the list's recursive lock. The lock is
// held while the callbacks run, so a callback may call SetSuitID on the same
// list from the same thread, but must not add or remove clients of it. The
// list lock is never held together with a receiver lock or the registry lock.
#pragma once

#include <string>
#include <vector>

#include "suit_receiver/cmutex.h"
#include "suit_receiver/motiwear_client.h"

class CMotiWearMessage;

class CMotiWearClientList {
 public:
  CMotiWearClientList() = default;

  CMotiWearClientList(const CMotiWearClientList&) = delete;
  CMotiWearClientList& operator=(const CMotiWearClientList&) = delete;

  // Appends `client` unless it is already listed. Null is ignored.
  void AddClient(CMotiWearClient* client) VORL_EXCLUDES(mLock);
  // Removes `client`, keeping the order of the others; absent: nothing.
  void RemoveClient(CMotiWearClient* client) VORL_EXCLUDES(mLock);
  // Sets the filter of a listed client; a client not listed is untouched.
  void SetSuitID(CMotiWearClient* client, const std::string& suitID);
  // [main thread] Calls every client that has both a callback and a context
  // with `message`, in list order. A null message, or one without a frame,
  // calls nobody.
  void NotifyClientsMessageReceived(CMotiWearMessage* message);

  size_t GetClientCount();
  bool HasClient(CMotiWearClient* client);

 private:
  std::vector<CMotiWearClient*> mClients VORL_GUARDED_BY(mLock);
  CMutex mLock{true};
};
