#include "host/message_receivers.h"

#include <fmt/format.h>

#include <algorithm>

namespace vhost {

void* CMessageReceiverList::RegisterMessageReceiver(MessageReceiverFn receiver, uintptr_t, uint32_t kindMask,
                                                    ActorInfo* info, uintptr_t, void* refcon) {
  if (receiver == nullptr) {
    mContext.mReport("RegisterMessageReceiver with a null receiver");
    return nullptr;
  }
  if (kindMask == 0) mContext.mReport("RegisterMessageReceiver with kind mask 0 (it can never be called)");
  return Register(receiver, kindMask, info, refcon);
}

void CMessageReceiverList::UnregisterMessageReceiver(void* handle) {
  if (!Unregister(handle)) {
    mContext.mReport(fmt::format("UnregisterMessageReceiver with unknown handle {}", handle));
  }
}

void* CMessageReceiverList::Register(MessageReceiverFn receiver, uint32_t kindMask, ActorInfo* info,
                                     void* refcon) {
  // Handles are small numbers, not addresses: a plug-in must treat them as
  // opaque, and a never-reused number makes a stale one harmless.
  void* handle = reinterpret_cast<void*>(mNextHandle++ * 16);
  mReceivers.push_back({handle, receiver, kindMask, info, refcon});
  return handle;
}

bool CMessageReceiverList::Unregister(void* handle) {
  auto it = std::find_if(mReceivers.begin(), mReceivers.end(),
                         [&](const CMessageReceiver& r) { return r.mHandle == handle; });
  if (it == mReceivers.end()) return false;
  mReceivers.erase(it);
  return true;
}

std::vector<void*> CMessageReceiverList::HandlesFor(uint32_t kind) const {
  std::vector<void*> handles;
  for (const auto& r : mReceivers) {
    if ((r.mKindMask & kind) != 0) handles.push_back(r.mHandle);
  }
  return handles;
}

std::optional<CMessageReceiver> CMessageReceiverList::Find(void* handle) const {
  for (const auto& r : mReceivers) {
    if (r.mHandle == handle) return r;
  }
  return std::nullopt;
}

size_t CMessageReceiverList::CountWithRefcon(const void* refcon) const {
  return static_cast<size_t>(std::count_if(mReceivers.begin(), mReceivers.end(),
                                           [&](const CMessageReceiver& r) { return r.mRefcon == refcon; }));
}

}  // namespace vhost
