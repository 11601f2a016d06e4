#include "suit_receiver/motiwear_mgr.h"

#include <algorithm>

CMotiWearMgr CMotiWearMgr::sMotiWearMgr;

CMotiWearMgr::CMotiWearMgr() : CMutex(false) {}

CMotiWearMgr::~CMotiWearMgr() = default;

CMotiWearPro* CMotiWearMgr::AcquireMotiWearPro(VorlaneParameters* params,
                                               const std::string& groupAddress, int port) {
  CMutexLock lock(*this);
  for (CMotiWearPro* pro : *this) {
    // A receiver whose count already reached 0 is on its way out (its
    // NotifyMotiWearRelease is about to arrive) and must not come back.
    if (pro->Matches(groupAddress, port) && pro->TryRetain()) return pro;
  }
  auto* pro = new CMotiWearPro(params, this, groupAddress, port);
  try {
    push_back(pro);
  } catch (...) {
    // Unlisted, it can still be handed out: the owner's notification for it
    // then finds nothing to erase.
  }
  return pro;
}

void CMotiWearMgr::RemoveMotiWearPro(CMotiWearPro* pro, bool release) {
  bool found = false;
  {
    CMutexLock lock(*this);
    auto it = std::find(begin(), end(), pro);
    if (it != end()) {
      erase(it);
      found = true;
    }
  }
  // Outside the lock: a last Release notifies us, and the registry lock is
  // not recursive. The entry is already gone, so that notification is a
  // no-op.
  if (found && release) pro->Release();
}

void CMotiWearMgr::NotifyMotiWearRelease(CMotiWearPro* pro) { RemoveMotiWearPro(pro, false); }

size_t CMotiWearMgr::GetReceiverCount() {
  CMutexLock lock(*this);
  return size();
}
