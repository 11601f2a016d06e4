// Which plug-in entry point the host is inside right now, and for which
// instance, so that a report made by a service can say in which call the
// plug-in did what it reports ("in ActivateActor(0) of 'watcher'").
//
// The host opens a CEntryPointCall around every call into plug-in code;
// calls nest (a value sent on an output reaches a wired input at once) and
// the innermost one is current.
//
// Thread-safety: each thread has its own chain; only the host's main thread
// calls entry points, so on any other thread there is no current call.
#pragma once

#include <cstdint>
#include <string>

namespace vhost {

class CEntryPointCall {
 public:
  // How a call's argument shows in its description.
  enum class EArgument { kNone, kDecimal, kHex };

  // `entryPoint` names the call as a report shows it ("CreateActor"); with
  // an argument it shows as "ActivateActor(1)" or "ReceiveMessage(0x80)".
  // `instance` is empty for calls made for the plug-in file rather than an
  // instance. Both must outlive the scope. Allocates nothing, so it costs
  // nothing measurable in the steady state.
  CEntryPointCall(const std::string& instance, const char* entryPoint,
                  EArgument shown = EArgument::kNone, uint64_t argument = 0);
  CEntryPointCall(const CEntryPointCall&) = delete;
  CEntryPointCall& operator=(const CEntryPointCall&) = delete;
  ~CEntryPointCall();

  const std::string& Instance() const { return mInstance; }
  // "ActivateActor(0)".
  std::string Describe() const;

  // The innermost call on this thread, or null between calls.
  static const CEntryPointCall* Current();
  // "ActivateActor(0) of 'watcher'", or "no entry point" between calls.
  static std::string DescribeCurrent();

 private:
  const std::string& mInstance;
  const char* mEntryPoint;
  EArgument mShown;
  uint64_t mArgument;
  const CEntryPointCall* mOuter;
};

}  // namespace vhost
