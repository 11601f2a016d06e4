// CSmokeHost: the smallest host that can drive one actor plug-in file: a
// service table with the services the watcher and Bonesplit call, one
// instance record, and a ledger of what the plug-in allocated, registered and
// sent. It knows the plug-in only through the host contract (plugin_abi.h,
// record_layout.h) and depends on nothing but the C and C++ runtimes, so it
// builds for macOS from the same source as on Linux.
//
// Thread-safety: one host at a time, used on one thread (the plug-in's
// network threads never call the host). The services reach the host through
// a process-wide pointer, as a real host's table is process-wide.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/plugin_abi.h"
#include "host/record_layout.h"

class CSmokeHost {
 public:
  // One value an output received, copied when it was sent.
  struct COutputValue {
    uint16_t mType = 0;
    int64_t mInteger = 0;
    double mFloat = 0;
    bool mNullData = false;
    std::string mText;                   // a string value's characters
    std::vector<unsigned char> mPackage;  // a skeleton package's bytes, when it names one
  };

  CSmokeHost();
  ~CSmokeHost();
  CSmokeHost(const CSmokeHost&) = delete;
  CSmokeHost& operator=(const CSmokeHost&) = delete;

  VorlaneParameters* Parameters() { return reinterpret_cast<VorlaneParameters*>(mParameters.data()); }
  // The instance record: a copy of the registration record with this host's
  // actor reference at its place. REQUIRES: `registration` holds 744 bytes.
  ActorInfo* MakeInstance(const unsigned char* registration);
  ActorInfo* Instance() { return reinterpret_cast<ActorInfo*>(mInstance.data()); }

  // Makes a host value; strings stay valid until the host is destroyed.
  void IntegerValue(int64_t integer, unsigned char* value);
  void FloatValue(double number, unsigned char* value);
  void DataValue(const void* data, unsigned char* value);
  void StringValue(const std::string& text, unsigned char* value);

  // Keeps `value` as the current value of input `index` (what
  // GetInputPropertyValue answers) and returns the kept record.
  Value* StoreInput(uint16_t index, const unsigned char* value);

  // Sets how many inputs and outputs the actor declares (for the help index
  // and the property count; outputs added and removed at run time follow).
  void SetPropertyCounts(uint16_t inputs, uint32_t outputs) {
    mInputCount = inputs;
    mOutputCount = outputs;
  }

  // What the plug-in did.
  size_t LiveBlocks() const { return mBlocks.size(); }
  size_t LiveStrings() const { return mStrings.size(); }
  const std::vector<std::string>& Assertions() const { return mAssertions; }
  const std::vector<COutputValue>& Sent(uint16_t output) { return mSent[output]; }
  void ClearSent() { mSent.clear(); }
  // The registered message receivers, with their kind mask and refcon.
  struct CReceiver {
    vhost::MessageReceiverFn mReceiver = nullptr;
    uint32_t mKindMask = 0;
    void* mRefcon = nullptr;
  };
  const std::map<void*, CReceiver>& Receivers() const { return mReceivers; }
  // Calls every registered receiver whose mask holds `kind`.
  void SendMessage(uint32_t kind);
  uint32_t AddedOutputs() const { return mAddedOutputs; }

 private:
  static CSmokeHost* sCurrent;

  // The services, as the table's C function types.
  static void* RegisterMessageReceiver(vhost::MessageReceiverFn receiver, uintptr_t, uint32_t mask,
                                       ActorInfo*, uintptr_t, void* refcon);
  static void UnregisterMessageReceiver(void* handle);
  static Value* GetInputPropertyValue(void* ref, uint16_t index);
  static uint16_t SetOutputPropertyValue(void* ref, uint16_t index, Value* value);
  static int32_t GetPropertyHelpIndex(void* ref, uint8_t kind, uint16_t index);
  static uint16_t AddOutputProperty(void* ref, uint8_t kind, uint32_t newID, uint32_t templateID,
                                    const char* name, uint32_t, uint32_t, uint32_t, uint32_t,
                                    Value*, Value*, Value*, uint32_t, uint32_t, uint32_t);
  static uint16_t RemoveOutputProperty(void* ref, uint8_t kind, uint16_t index);
  static uint16_t GetPropertyCount(void* ref, uint8_t kind, uint32_t* count);
  static void* AllocateMemory(uint64_t size, uint32_t zeroFill);
  static uint16_t FreeMemory(void* block);
  static void AssertionFailed(const char* condition, const char* actorName, int32_t line);
  static void LoadActorPicture(ActorInfo*, uint32_t, PictInfo* pict);
  static void DrawActorPicture(ActorInfo*, uint8_t, Rect*, PictInfo*);
  static uint16_t GetPropertyTypeCodes(void* ref, uint8_t kind, uint16_t index, uint32_t* code1,
                                       uint32_t* code2);
  static uint16_t MakeStringValue(const char* text, Value* value);
  static void ReleaseValue(Value* value);
  static uint16_t SetPropertyDisplayName(void* ref, uint8_t kind, uint16_t index, const char* name);
  static uint16_t GetPropertyDisplayName(void* ref, uint8_t kind, uint16_t index, char* buffer,
                                         uint32_t size);

  void* MakeHostString(const std::string& text);
  bool IsOwnRef(void* ref) const { return ref == this; }

  std::array<void*, vhost::layout::kServiceSlotCount> mServices{};
  alignas(16) std::array<unsigned char, vhost::layout::kParametersSize> mParameters{};
  alignas(16) std::array<unsigned char, vhost::layout::kActorInfoSize> mInstance{};
  // A value record as the host keeps it: aligned as the plug-in's Value is.
  struct alignas(16) CValueRecord {
    std::array<unsigned char, vhost::layout::kValueSize> mBytes{};
  };
  std::map<uint16_t, CValueRecord> mInputs;
  std::set<void*> mBlocks;
  std::set<void*> mStrings;       // host strings the plug-in made and has not released
  std::vector<void*> mOwnStrings;  // host strings this host made for its input values
  std::vector<std::string> mAssertions;
  std::map<uint16_t, std::vector<COutputValue>> mSent;
  std::map<void*, CReceiver> mReceivers;
  int mNextHandle = 0;
  std::array<char, 64> mHandles{};  // distinct addresses used as receiver handles
  uint16_t mInputCount = 0;
  uint32_t mOutputCount = 0;
  uint32_t mAddedOutputs = 0;
};
