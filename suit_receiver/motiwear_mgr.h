// CMotiWearMgr: the registry that shares one receiver per (multicast group
// text, port) between all watcher instances of the plug-in.
//
// The registry holds no reference of its own: a receiver is listed exactly
// while its reference count is above 0. A receiver whose thread has ended
// (it failed to bind, or hit a receive error) is still handed out while
// listed, so a new holder sees its error text; a fresh receiver for the same
// port is made only after every holder released the old one.
//
// Thread-safety: the registry lock (error-checking, not recursive) guards
// the list for a whole find-or-create, thread start included. It is never
// held together with a receiver lock or a client-list lock, and nothing
// called under it comes back into the registry. Intended for the host's
// main thread.
#pragma once

#include <string>
#include <vector>

#include "framework/vorlane_types.h"
#include "suit_receiver/cmutex.h"
#include "suit_receiver/motiwear_owner.h"
#include "suit_receiver/motiwear_pro.h"

class CMotiWearMgr : public CMotiWearOwner, public std::vector<CMotiWearPro*>, public CMutex {
 public:
  CMotiWearMgr();
  // Leaves listed receivers alone: by the time the plug-in unloads the
  // watcher has released them all and waited for their threads.
  ~CMotiWearMgr() override;

  CMotiWearMgr(const CMotiWearMgr&) = delete;
  CMotiWearMgr& operator=(const CMotiWearMgr&) = delete;

  // [main thread] A receiver for (groupAddress, port) with one reference
  // for the caller, who gives it back with CMotiWearPro::Release. Never null
  // (short of memory exhaustion, which throws std::bad_alloc).
  CMotiWearPro* AcquireMotiWearPro(VorlaneParameters* params, const std::string& groupAddress,
                                   int port) VORL_EXCLUDES(this);

  // Erases `pro` from the list (nothing if absent). With `release` set it
  // also drops one of the caller's references, outside the registry lock.
  void RemoveMotiWearPro(CMotiWearPro* pro, bool release) VORL_EXCLUDES(this);

  // Called by a receiver's last Release: forgets it.
  void NotifyMotiWearRelease(CMotiWearPro* pro) override;

  // Number of listed receivers, read under the registry lock.
  size_t GetReceiverCount() VORL_EXCLUDES(this);

  // The plug-in's one registry.
  static CMotiWearMgr sMotiWearMgr;
};
