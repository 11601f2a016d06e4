// CMotiWearOwner: what a receiver tells when its last reference goes.
//
// The registry (CMotiWearMgr) implements it to forget the receiver.
//
// Thread-safety: called on the thread that calls the receiver's last
// Release (the host's main thread), with no receiver lock held.
#pragma once

class CMotiWearPro;

class CMotiWearOwner {
 public:
  virtual void NotifyMotiWearRelease(CMotiWearPro* pro) = 0;
  virtual ~CMotiWearOwner() = default;
};
