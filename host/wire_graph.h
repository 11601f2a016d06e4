// The wires between instances' outputs and inputs, and the delivery of
// values through HandlePropertyChangeValue.
//
// A wire names its output by serial, so it follows the output when others
// are removed and goes with it when it is removed. Delivery nests (a
// receiving plug-in may send on its own outputs): past a fixed depth a value
// is dropped and reported, since a loop of wires would otherwise recurse
// until the stack ends. Input values replaced during a delivery are retired,
// not destroyed, until the outermost delivery returns: a plug-in may still
// hold a pointer to the old value when a wire loops back to it.
//
// Thread-safety: none; the host's main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/actor_instance.h"
#include "host/host_value.h"
#include "host/plugin_abi.h"

namespace vhost {

class CWireGraph {
 public:
  using CReport = std::function<void(std::string)>;

  explicit CWireGraph(CReport report) : mReport(std::move(report)) {}

  // REQUIRES: both indexes exist; the caller checked the types.
  void Connect(CActorInstance& from, uint16_t output, CActorInstance& to, uint16_t input);
  size_t Count() const { return mWires.size(); }

  // Stores `value` in input `index` (REQUIRES: it exists) and tells the
  // plug-in with `flag`.
  void Deliver(VorlaneParameters* parameters, CActorInstance& instance, uint16_t index,
               CHostValue value, uint8_t flag);
  // Delivers `sent`, converted for each input, along every wire of the
  // output with `serial` to live instances, with flag 0.
  void Propagate(VorlaneParameters* parameters, const CActorInstance& from, uint64_t serial,
                 const CHostValue& sent);

  void ForgetInstance(const CActorInstance& instance);
  void ForgetOutput(const CActorInstance& instance, uint64_t serial);

 private:
  struct CWire {
    const CActorInstance* mFrom;
    uint64_t mOutputSerial;
    CActorInstance* mTo;
    uint16_t mInput;
  };

  CReport mReport;
  std::vector<CWire> mWires;
  int mDepth = 0;
  std::vector<CHostValue> mRetiredValues;
};

}  // namespace vhost
