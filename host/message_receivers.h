// The message receivers plug-ins register, with their kind masks.
//
// A message of kind K goes to every receiver whose mask has a bit of K, in
// registration order. Handles are never reused, so a stale handle cannot
// unregister somebody else's receiver. A receiver may be unregistered while
// messages are being delivered (even from inside a receiver): delivery asks
// Find() before each call and skips the ones that are gone.
//
// Thread-safety: none; used on the host's main thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "host/plugin_abi.h"
#include "host/service_context.h"

namespace vhost {

struct CMessageReceiver {
  void* mHandle = nullptr;
  MessageReceiverFn mReceiver = nullptr;
  uint32_t mKindMask = 0;
  ActorInfo* mInfo = nullptr;  // as registered; may be null
  void* mRefcon = nullptr;
};

class CMessageReceiverList {
 public:
  explicit CMessageReceiverList(CServiceContext context) : mContext(std::move(context)) {}

  // ---- Service handlers (rows of the service list) ----
  // Refuses a null receiver; a zero mask is registered but reported.
  void* RegisterMessageReceiver(MessageReceiverFn receiver, uintptr_t zero1, uint32_t kindMask,
                                ActorInfo* info, uintptr_t zero2, void* refcon);
  void UnregisterMessageReceiver(void* handle);

  // The new receiver's handle (never null).
  void* Register(MessageReceiverFn receiver, uint32_t kindMask, ActorInfo* info, void* refcon);
  // False for a handle that is not registered.
  bool Unregister(void* handle);
  // The handles of every receiver for kind `kind`, in registration order.
  std::vector<void*> HandlesFor(uint32_t kind) const;
  std::optional<CMessageReceiver> Find(void* handle) const;
  const std::vector<CMessageReceiver>& All() const { return mReceivers; }
  // Receivers registered with this refcon (an instance's ActorInfo, usually).
  size_t CountWithRefcon(const void* refcon) const;

 private:
  CServiceContext mContext;
  std::vector<CMessageReceiver> mReceivers;
  uintptr_t mNextHandle = 1;
};

}  // namespace vhost
