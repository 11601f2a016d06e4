#include "host/wire_graph.h"

#include <fmt/format.h>

#include "host/allocation_counter.h"
#include "host/entry_point_call.h"
#include "host/input_conversion.h"

namespace vhost {

namespace {

// Deeper than any sane chain of wires.
constexpr int kMaxDeliveryDepth = 64;

}  // namespace

void CWireGraph::Connect(CActorInstance& from, uint16_t output, CActorInstance& to, uint16_t input) {
  mWires.push_back({&from, from.Output(output).mSerial, &to, input});
}

void CWireGraph::Deliver(VorlaneParameters* parameters, CActorInstance& instance, uint16_t index,
                         CHostValue value, uint8_t flag) {
  if (mDepth >= kMaxDeliveryDepth) {
    mReport(fmt::format("value for input {} of '{}' dropped: wires nest deeper than {} (a loop of "
                        "wires?)",
                        index, instance.Name(), kMaxDeliveryDepth));
    return;
  }
  CInputSlot& slot = instance.MutableInput(index);
  // The input holds the new value before the plug-in hears of it, so that
  // GetInputPropertyValue inside the callback already answers with it.
  CHostValue old = std::move(slot.mValue);
  slot.mValue = std::move(value);
  ++mDepth;
  CEntryPointCall call(instance.Name(), "HandlePropertyChangeValue", CEntryPointCall::EArgument::kDecimal, index);
  {
    const CCountedPluginCall counted;
    instance.Plugin().mHandlePropertyChangeValue(parameters, instance.Info(), index, old.Record(),
                                                 slot.mValue.Record(), flag);
  }
  --mDepth;
  mRetiredValues.push_back(std::move(old));
  if (mDepth == 0) mRetiredValues.clear();
}

void CWireGraph::Propagate(VorlaneParameters* parameters, const CActorInstance& from, uint64_t serial,
                           const CHostValue& sent) {
  // A receiving plug-in may add or remove wires or outputs; walk a copy.
  const std::vector<CWire> wires = mWires;
  for (const CWire& wire : wires) {
    if (wire.mFrom != &from || wire.mOutputSerial != serial || !wire.mTo->IsLive()) continue;
    const auto& input = wire.mTo->Input(wire.mInput).mDescriptor;
    Deliver(parameters, *wire.mTo, wire.mInput, ConvertForInput(input, sent), 0);
  }
}

void CWireGraph::ForgetInstance(const CActorInstance& instance) {
  std::erase_if(mWires, [&](const CWire& w) { return w.mFrom == &instance || w.mTo == &instance; });
}

void CWireGraph::ForgetOutput(const CActorInstance& instance, uint64_t serial) {
  std::erase_if(mWires, [&](const CWire& w) { return w.mFrom == &instance && w.mOutputSerial == serial; });
}

}  // namespace vhost
