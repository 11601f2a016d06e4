// One actor instance in the host: its 744-byte ActorInfo record (a copy of
// the plug-in's registration record with the actor reference at byte 40),
// and the host's side of its properties: current input values, the current
// list of outputs with their IDs, display names, type codes and help entries.
//
// The instance owns its property table: the slots by kind and index, adding,
// removing and renaming them, renumbering after a removal, and the help
// indexes. Help indexes: kind 0 index 0 -> 0, input i -> i, declared output
// j -> declared input count + j; an added output takes the entry of the
// declared output whose ID it names as template, else 0 (the actor).
//
// Instances belong to their CHost and live as long as it does (a disposed
// instance stays, in state kDisposed, so that pointers to it never dangle).
// Changes come from CHost and its parts; the public side only answers
// questions.
//
// Thread-safety: none; the host's main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_value.h"
#include "host/plugin.h"
#include "host/property_descriptor.h"
#include "host/record_layout.h"

namespace vhost {

// What inputs and outputs have in common.
struct CPropertySlot {
  CPropertyDescriptor mDescriptor;  // for added outputs: what AddOutputProperty said
  std::string mDisplayName;
  CTypeCodes mCodes;
  // Inputs: what GetInputPropertyValue hands out. Outputs: the default until
  // something is sent, then the last value.
  CHostValue mValue;
  int32_t mHelpIndex = -1;
};

struct CInputSlot : CPropertySlot {};

struct COutputSlot : CPropertySlot {
  bool mSent = false;
  bool mAddedAtRunTime = false;
  uint64_t mSerial = 0;  // identifies the output across removals; wires hold it
};

// Whether an output ID is free to add.
enum class EAddOutput { kAdded, kOutputIDTaken, kInputIDTaken };

class CActorInstance {
 public:
  enum class EState { kDefined, kCreated, kActive, kInactive, kDisposed };

  CActorInstance(const CActorInstance&) = delete;
  CActorInstance& operator=(const CActorInstance&) = delete;

  const std::string& Name() const { return mName; }
  uint32_t Serial() const { return mSerial; }
  const CPlugin& Plugin() const { return *mPlugin; }
  EState State() const { return mState; }
  // Created and not yet disposed: entry points may be called.
  bool IsLive() const { return mState == EState::kCreated || mState == EState::kActive || mState == EState::kInactive; }
  bool IsActive() const { return mState == EState::kActive; }

  ActorInfo* Info() { return reinterpret_cast<ActorInfo*>(mRecord.data()); }
  const unsigned char* RecordBytes() const { return mRecord.data(); }
  // The actor reference (byte 40), the first argument of the property services.
  void* Ref() const { return layout::ReadAt<void*>(mRecord.data(), layout::kActorRef); }
  // mActorDataPtr (byte 592).
  void* ActorData() const { return layout::ReadAt<void*>(mRecord.data(), layout::kActorDataPtr); }

  size_t InputCount() const { return mInputs.size(); }
  size_t OutputCount() const { return mOutputs.size(); }
  // REQUIRES: 1 <= index <= count.
  const CInputSlot& Input(uint16_t index) const { return *mInputs.at(index - 1); }
  const COutputSlot& Output(uint16_t index) const { return *mOutputs.at(index - 1); }
  // 1-based index of the input named (declared name or ID) `key`, 0 if none.
  uint16_t FindInput(std::string_view key) const;
  // 1-based index of the output whose ID, current display name or declared
  // name is `key` (tried in that order), 0 if none.
  uint16_t FindOutput(std::string_view key) const;
  // 1-based index of the output with this serial, 0 if it is gone.
  uint16_t OutputIndexOfSerial(uint64_t serial) const;

 private:
  friend class CHost;
  friend class CWireGraph;
  friend class CPropertyServices;
  CActorInstance(const CPlugin& plugin, std::string name, uint32_t serial);

  // ---- Property table ----
  // The slot of input (kind 1) or output (kind 2) `index`, or null.
  CPropertySlot* Property(uint8_t kind, uint16_t index);
  // -1 when there is no such property.
  int32_t HelpIndex(uint8_t kind, uint16_t index) const;
  // Whether an output with this ID could be added.
  EAddOutput CheckNewOutputID(const std::string& id) const;
  // Appends an output as the last one, named as its descriptor says (whose
  // index it sets), with help from the declared output `templateID`.
  // REQUIRES: CheckNewOutputID said kAdded for its ID.
  void AddOutput(CPropertyDescriptor descriptor, CTypeCodes codes, CHostValue value,
                 uint32_t templateID);
  // Removes output `index` (REQUIRES: it exists), renumbers the rest, and
  // returns the serial it had.
  uint64_t RemoveOutput(uint16_t index);
  CInputSlot& MutableInput(uint16_t index) { return *mInputs.at(index - 1); }
  COutputSlot& MutableOutput(uint16_t index) { return *mOutputs.at(index - 1); }

  const CPlugin* mPlugin;
  std::string mName;
  uint32_t mSerial;
  EState mState = EState::kDefined;
  alignas(16) std::array<unsigned char, layout::kActorInfoSize> mRecord{};
  std::vector<std::unique_ptr<CInputSlot>> mInputs;
  std::vector<std::unique_ptr<COutputSlot>> mOutputs;
  uint16_t mDeclaredInputCount = 0;
  uint64_t mNextOutputSerial = 1;
};

}  // namespace vhost
