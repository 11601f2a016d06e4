// The property services: input values, output values (recorded, checked
// against their declared type and sent down the wires), the outputs a
// plug-in adds and removes at run time, and property names, type codes and
// help indexes. Every one names an instance by its actor reference; a
// reference that is not of a live instance is reported and answered with
// kErrUnknownActor (or the service's neutral result).
//
// Thread-safety: the host's main thread only.
#pragma once

#include <cstdint>

#include "host/service_context.h"

struct Value;
struct VorlaneParameters;

namespace vhost {

class CActorInstance;
class COutputRecorder;
class CWireGraph;
struct COutputSlot;

class CPropertyServices {
 public:
  struct CSwitches {
    bool mFailAddOutputProperty = false;     // returns kErrSwitchedOff
    bool mFailRemoveOutputProperty = false;  // returns kErrSwitchedOff
    bool mFailGetPropertyCount = false;      // returns kErrSwitchedOff
  };

  // `parameters` is the record wired inputs are called with; `ticks` the
  // host's tick count, stamped on each recorded output.
  CPropertyServices(CServiceContext context, VorlaneParameters* parameters, CWireGraph& wires,
                    COutputRecorder& recorder, const uint64_t& ticks)
      : mContext(std::move(context)),
        mParameters(parameters),
        mWires(wires),
        mRecorder(recorder),
        mTicks(ticks) {}

  // ---- Service handlers (rows of the service list) ----
  Value* GetInputPropertyValue(void* ref, uint16_t index);
  uint16_t SetOutputPropertyValue(void* ref, uint16_t index, Value* value);
  int32_t GetPropertyHelpIndex(void* ref, uint8_t kind, uint16_t index);
  uint16_t AddOutputProperty(void* ref, uint8_t kind, uint32_t newID, uint32_t templateID,
                             const char* name, uint32_t zero1, uint32_t code1, uint32_t code2,
                             uint32_t flags255, Value* minimum, Value* maximum, Value* defaultValue,
                             uint32_t zero2, uint32_t zero3, uint32_t zero4);
  uint16_t RemoveOutputProperty(void* ref, uint8_t kind, uint16_t index);
  uint16_t GetPropertyCount(void* ref, uint8_t kind, uint32_t* count);
  uint16_t GetPropertyTypeCodes(void* ref, uint8_t kind, uint16_t index, uint32_t* code1,
                                uint32_t* code2);
  uint16_t SetPropertyDisplayName(void* ref, uint8_t kind, uint16_t index, const char* name);
  uint16_t GetPropertyDisplayName(void* ref, uint8_t kind, uint16_t index, char* buffer,
                                  uint32_t size);

  CSwitches& Switches() { return mSwitches; }

 private:
  void RecordOutput(CActorInstance& instance, uint16_t index, const COutputSlot& slot);
  void CheckOutputType(CActorInstance& instance, uint16_t index, const COutputSlot& slot);

  CServiceContext mContext;
  VorlaneParameters* mParameters;
  CWireGraph& mWires;
  COutputRecorder& mRecorder;
  const uint64_t& mTicks;
  CSwitches mSwitches;
};

}  // namespace vhost
