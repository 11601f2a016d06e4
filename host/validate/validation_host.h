// A stand-in host set up for validation (nothing printed as it happens:
// assertions and contract violations are collected), and the accounting
// every test ends with: host memory and strings released, image buffers
// disposed, message receivers unregistered, guard bytes around host blocks
// whole, every AssertionFailed, every contract violation and host fault the
// host saw, and a published package that was freed.
//
// Thread-safety: the host's; one thread.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/validate/validation_test.h"

namespace vhost::validate {

class CValidationHost {
 public:
  CValidationHost();

  CHost& Host() { return mHost; }

  // After any call into the plug-in: a data output whose package the host
  // allocated for it and that is still published must still be allocated
  // (a producer publishes null before it frees its package).
  void CheckPublishedPackages(CFindings& findings, const std::string& during);

  // Sends one message of every kind some live receiver registered for
  // (ticks, render requests, a lost context with its number, others bare).
  // Returns how many were sent.
  size_t SendRegisteredKinds();

  // Disposes every instance left, then adds a finding for everything the
  // plug-in did not give back or that went wrong on the way.
  void Account(CFindings& findings);

 private:
  CHost mHost;
  // (instance serial, output serial) -> package seen published while allocated
  std::map<std::pair<uint32_t, uint64_t>, const void*> mPublishedBlocks;
  std::set<std::pair<uint32_t, uint64_t>> mReported;
};

// The instance's state as text ("active", ...), for findings.
std::string StateName(const CActorInstance& instance);

}  // namespace vhost::validate
