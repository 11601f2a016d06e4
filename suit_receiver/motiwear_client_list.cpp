#include "suit_receiver/motiwear_client_list.h"

#include <algorithm>

#include "suit_receiver/motiwear_message.h"

void CMotiWearClientList::AddClient(CMotiWearClient* client) {
  if (client == nullptr) return;
  CMutexLock lock(mLock);
  if (std::find(mClients.begin(), mClients.end(), client) == mClients.end()) {
    mClients.push_back(client);
  }
}

void CMotiWearClientList::RemoveClient(CMotiWearClient* client) {
  CMutexLock lock(mLock);
  auto it = std::find(mClients.begin(), mClients.end(), client);
  if (it != mClients.end()) mClients.erase(it);
}

void CMotiWearClientList::SetSuitID(CMotiWearClient* client, const std::string& suitID) {
  CMutexLock lock(mLock);
  if (client != nullptr && std::find(mClients.begin(), mClients.end(), client) != mClients.end()) {
    client->mSuitID = suitID;
  }
}

void CMotiWearClientList::NotifyClientsMessageReceived(CMotiWearMessage* message) {
  if (message == nullptr || message->mData == nullptr) return;
  CMutexLock lock(mLock);
  // Index, not iterator: a callback that breaks the rule and removes a client
  // must not leave us walking freed storage.
  for (size_t i = 0; i < mClients.size(); ++i) {
    CMotiWearClient* client = mClients[i];
    if (client->mCallback != nullptr && client->mContext != nullptr) {
      client->mCallback(client->mContext, message);
    }
  }
}

size_t CMotiWearClientList::GetClientCount() {
  CMutexLock lock(mLock);
  return mClients.size();
}

bool CMotiWearClientList::HasClient(CMotiWearClient* client) {
  CMutexLock lock(mLock);
  return std::find(mClients.begin(), mClients.end(), client) != mClients.end();
}
