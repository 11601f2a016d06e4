// The stand-in host: loads actor plug-in files, drives their instances the
// way the real host does, offers them its service table, wires outputs to
// inputs, sends messages, and records everything for tests.
//
// Usage (tests):
//
//   vhost::CHost host;                                   // becomes Current()
//   const vhost::CPlugin& p = vhost::LoadPlugin(dir + "/test_actor.so");
//   vhost::CActorInstance& a = host.Spawn(p, "a");       // create, activate, inputs (flag 1)
//   host.SetInput(a, a.FindInput("count"), vhost::CHostValue::Integer(3));  // flag 0, clamped
//   host.Tick();                                         // kind 0x80 to matching receivers
//   const vhost::COutputRecord* last = host.LastOutput(a, "echo");
//   auto since = host.OutputsSince(mark, &a);            // mark = host.Mark() earlier
//   host.Connect(a, a.FindOutput("skel"), b, b.FindInput("skli"));
//   EXPECT_TRUE(host.Violations().empty());              // contract breaches the host saw
//   host.Dispose(a);                                     // deactivates first if active
//
// Order per instance, as the real host: AddInstance (record only) ->
// Create (CreateActor) -> Activate (ActivateActor(1), then every input's
// current value in index order with flag 1) -> changes (flag 0) and
// messages -> Deactivate (ActivateActor(0)) -> Dispose (DisposeActor). The
// destructor deactivates and disposes whatever is left, newest first.
//
// Outputs added at run time get the help entry of the output whose ID the
// plug-in passed as template (Bonesplit passes 'ot01'), or entry 0 (the
// actor) when no declared output has that ID. Help indexes: kind 0 index 0
// -> 0, input i -> i, declared output j -> input count + j.
//
// CHost is the façade over parts that each own their state, switches and
// counters: every instance's property table (CActorInstance), the wires and
// value delivery (CWireGraph), the property services (CPropertyServices),
// image buffers, drawing and render brackets (CVideoServices), memory
// (CMemoryServices), strings (CStringServices), message receivers
// (CMessageReceiverList), pictures (CPictureServices), assertions
// (CAssertionLog) and the recorder.
// Each service of the table is a row of one list
// (contract/host_service_list.h) that names the part whose member function
// handles it; service_table.cpp makes the table from that list.
//
// Misuse of this C++ API throws CHostError. Misuse seen at the C boundary
// (bad references or indexes, unknown handles, double frees, wrong value
// types on outputs, calls off the main thread, render brackets left open,
// receivers left registered after deactivation) never throws: the service
// returns its error result and the host appends a line to Violations().
//
// Thread-safety: one host is driven from the thread that constructed it, and
// only one thread at a time drives plug-in code in the process (services
// find their host through a process-wide "current host"). Plug-ins may run
// their own threads, but those must not call services; a call from another
// thread is refused and reported.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "host/actor_instance.h"
#include "host/assertion_log.h"
#include "host/host_error.h"
#include "host/host_value.h"
#include "host/image_buffer_backend.h"
#include "host/memory_services.h"
#include "host/message_receivers.h"
#include "host/output_recorder.h"
#include "host/picture_services.h"
#include "host/plugin.h"
#include "host/plugin_abi.h"
#include "host/property_services.h"
#include "host/record_layout.h"
#include "host/string_services.h"
#include "host/video_services.h"
#include "host/wire_graph.h"

namespace vhost {

// Message kinds the host sends.
inline constexpr uint32_t kMessageTick = 0x80;
inline constexpr uint32_t kMessageRenderRequest = 0x1000;
inline constexpr uint32_t kMessageContextLost = 0x20000000;

// Switches of the host itself; each part that serves plug-in calls owns its
// own (MemoryServices(), Properties(), Pictures(), Video(), AssertionLog()).
struct CHostSwitches {
  bool mPrintViolations = true;         // violations also print to stderr
  bool mFailInServiceHandlers = false;  // every service handler throws (a host fault)
};

// Counts of what the host itself did.
struct CHostCounters {
  uint64_t mMessagesDelivered = 0;  // receiver calls
};

// What one SendMessage did.
struct CMessageDelivery {
  size_t mReceivers = 0;           // receivers called
  std::vector<intptr_t> mResults;  // their results, in call order
};

// What GetActorDefinedArea answered.
struct CActorArea {
  uint8_t mResult = 0;
  int16_t mWidth = 0, mHeight = 0, mThird = 0, mFourth = 0;
};

class CHost {
 public:
  CHost();
  CHost(const CHost&) = delete;
  CHost& operator=(const CHost&) = delete;
  ~CHost();

  // The host whose services plug-in code reaches now: the one driving a
  // call, else the most recently constructed live host.
  static CHost* Current();

  // Plug-in code gave `block` back to the C heap inside an entry point: a
  // package freed there while it is still the last value of one of that
  // instance's data outputs is reported, as FreeMemory reports one of the
  // host's blocks. Called by the host programs' free().
  void CheckHeapReleaseByPlugin(const void* block, size_t size);

  // ---- Instances ----
  // A new instance record; no entry point is called yet. An empty name
  // becomes "<plug-in file stem><serial>".
  CActorInstance& AddInstance(const CPlugin& plugin, std::string name = {});
  void Create(CActorInstance& instance);    // REQUIRES: state kDefined
  void Activate(CActorInstance& instance);  // REQUIRES: created, not active
  void Deactivate(CActorInstance& instance);  // REQUIRES: active
  void Dispose(CActorInstance& instance);   // deactivates first when active
  // AddInstance + Create + Activate.
  CActorInstance& Spawn(const CPlugin& plugin, std::string name = {});
  CActorInstance* FindInstance(std::string_view name);
  std::vector<CActorInstance*> Instances();

  // ---- Inputs ----
  // Stores a value (converted and clamped) without telling the plug-in: for
  // values that activation is to deliver. REQUIRES: not active.
  void PresetInput(CActorInstance& instance, uint16_t index, const CHostValue& value);
  // Stores a value (converted and clamped) and delivers it with flag 0 when
  // the instance is live.
  void SetInput(CActorInstance& instance, uint16_t index, const CHostValue& value);
  // Stores exactly `raw` (no conversion, no clamping) and delivers it with
  // `flag` when the instance is live.
  void InjectInput(CActorInstance& instance, uint16_t index, const CHostValue& raw, uint8_t flag);
  // Name or ID lookups that throw CHostError when absent.
  uint16_t InputIndex(const CActorInstance& instance, std::string_view key) const;
  uint16_t OutputIndex(const CActorInstance& instance, std::string_view key) const;

  // ---- Wires ----
  // Every value later sent on the output reaches the input at once through
  // HandlePropertyChangeValue (flag 0), converted and clamped as by SetInput.
  // The wire follows the output if other outputs are removed and goes with
  // it when it is removed. Nothing is delivered at connection time.
  void Connect(CActorInstance& from, uint16_t output, CActorInstance& to, uint16_t input);
  size_t WireCount() const { return mWires.Count(); }

  // ---- Messages ----
  // Calls every receiver whose mask has a bit of `kind`, in registration order.
  CMessageDelivery SendMessage(uint32_t kind, uint16_t arg = 0, const void* data = nullptr,
                               uint32_t length = 0);
  // The same for one receiver (a handle from Receivers()), when it is still
  // registered and its mask has a bit of `kind`.
  CMessageDelivery SendMessageTo(void* handle, uint32_t kind, uint16_t arg = 0, const void* data = nullptr,
                                 uint32_t length = 0);
  CMessageDelivery Tick();  // kind 0x80; counts ticks
  uint64_t TickCount() const { return mTicks; }
  CMessageDelivery RequestRender(uint16_t arg = 0);  // kind 0x1000
  // Kind 0x20000000 with a pointer to `number` (4 bytes).
  CMessageDelivery LoseContext(int32_t number);

  // ---- Other entry points ----
  // Asks GetHelpString with a buffer of `size` bytes and returns its text.
  std::string HelpText(CActorInstance& instance, uint8_t kind, uint16_t index, uint32_t size = 4096);
  void CallGetHelpString(CActorInstance& instance, uint8_t kind, uint16_t index, char* buffer,
                         uint32_t size);
  // The text PropertyValueToString wrote (buffer of 256 bytes), or nothing
  // when it returned 0.
  std::optional<std::string> ValueToString(CActorInstance& instance, uint8_t kind, uint16_t index,
                                           const CHostValue& value);
  // The Value PropertyStringToValue filled, or nothing when it returned 0 or
  // the plug-in has no such entry point.
  std::optional<CHostValue> StringToValue(CActorInstance& instance, uint8_t kind, uint16_t index,
                                          const std::string& text);
  CActorArea GetActorDefinedArea(CActorInstance& instance);
  void DrawActorDefinedArea(CActorInstance& instance, uint16_t part, uint8_t state);

  // ---- Recording ----
  COutputRecorder& Recorder() { return mRecorder; }
  uint64_t Mark() const { return mRecorder.Mark(); }
  // Records after `mark` (of one instance when given, of one output when
  // `output` is non-empty: an ID, matched as recorded).
  std::vector<const COutputRecord*> OutputsSince(uint64_t mark, const CActorInstance* instance = nullptr,
                                                 std::string_view output = {}) const;
  const COutputRecord* LastOutput(const CActorInstance& instance, uint16_t index) const;
  const COutputRecord* LastOutput(const CActorInstance& instance, std::string_view outputID) const;

  // ---- Accounting, switches, diagnostics ----
  CHostSwitches& Switches() { return mSwitches; }
  const CHostCounters& Counters() const { return mCounters; }
  // The parts that serve plug-in calls, each with its switches and counters.
  CMemoryServices& MemoryServices() { return mMemory; }
  CPropertyServices& Properties() { return mProperties; }
  CPictureServices& Pictures() { return mPictures; }
  const CPictureServices& Pictures() const { return mPictures; }
  CVideoServices& Video() { return mVideo; }
  const CVideoServices& Video() const { return mVideo; }
  CAssertionLog& AssertionLog() { return mAssertions; }
  CStringServices& StringServices() { return mStrings; }
  CMessageReceiverList& MessageReceivers() { return mReceivers; }
  const CMemoryLedger& Memory() const { return mMemory.Ledger(); }
  const CStringLedger& Strings() const { return mStrings.Ledger(); }
  const CMessageReceiverList& Receivers() const { return mReceivers; }
  const std::vector<CAssertionReport>& Assertions() const { return mAssertions.All(); }
  void ClearAssertions() { mAssertions.Clear(); }
  std::vector<std::string> Violations() const;
  void ClearViolations();
  // Faults of the host itself seen while serving a plug-in (a service
  // handler that threw): not the plug-in's doing, but the service did not do
  // its work. Always printed to stderr as well.
  std::vector<std::string> HostFaults() const;
  void ReportHostFault(std::string text);
  // Reports a violation for every live AllocateMemory block and image buffer
  // whose guard bytes a plug-in overwrote (freed ones are checked as they
  // go); for the end of a test or run. Each damaged block is reported once.
  void CheckGuardBytes();
  // Image buffers created and not yet disposed.
  size_t LiveImageBuffers() const { return mVideo.LiveImageBuffers(); }
  // Replaces the backend of the image buffer services. REQUIRES: no live buffers.
  void SetImageBufferBackend(std::unique_ptr<CImageBufferBackend> backend);
  CImageBufferBackend& ImageBufferBackend() { return mVideo.Backend(); }

  // The parameters record every entry point receives; byte 16 holds the
  // service table.
  VorlaneParameters* Parameters() { return reinterpret_cast<VorlaneParameters*>(mParameters.data()); }

 private:
  friend struct CServiceTableAccess;
  friend class CDrivingScope;

  CActorInstance* LiveInstanceOfRef(void* ref, const char* service);
  // The name of the instance whose ActorInfo record this is; empty for any
  // other pointer.
  const std::string& NameOfRecord(const void* info) const;
  void RequireIndex(const CActorInstance& instance, uint16_t index, bool input) const;
  void ReportViolation(std::string text);
  // A producer publishes a null data value before it frees its package: a
  // block about to be freed must not be the last value of any data output.
  void CheckFreedBlockIsNotPublished(const void* block, uint64_t size);
  void ReportPublishedIn(const CActorInstance& instance, const unsigned char* begin, const unsigned char* end);

  alignas(16) std::array<unsigned char, layout::kParametersSize> mParameters{};
  const std::thread::id mMainThread;
  std::vector<std::unique_ptr<CActorInstance>> mInstances;
  std::map<std::string, CActorInstance*, std::less<>> mInstancesByName;  // every instance, disposed too
  std::map<void*, CActorInstance*> mLiveRefs;  // every instance record, by actor reference
  COutputRecorder mRecorder;
  CHostCounters mCounters;
  uint64_t mTicks = 0;
  uint32_t mNextInstanceSerial = 1;
  CHostSwitches mSwitches;

  std::atomic<bool> mPrintViolationsOffThread{true};  // mSwitches.mPrintViolations, for other threads
  mutable std::mutex mViolationMutex;
  std::vector<std::string> mViolations;  // GUARDED_BY(mViolationMutex)
  std::vector<std::string> mHostFaults;  // GUARDED_BY(mViolationMutex)

  // Parts that report violations; declared last so they go first.
  CServiceContext ServiceContext();
  CWireGraph mWires{[this](std::string text) { ReportViolation(std::move(text)); }};
  CMessageReceiverList mReceivers{ServiceContext()};
  CMemoryServices mMemory{ServiceContext(), [this](const void* block, uint64_t size) {
                            CheckFreedBlockIsNotPublished(block, size);
                          }};
  CStringServices mStrings{ServiceContext()};
  CAssertionLog mAssertions;
  CPictureServices mPictures{ServiceContext()};
  CPropertyServices mProperties{ServiceContext(), Parameters(), mWires, mRecorder, mTicks};
  CVideoServices mVideo{ServiceContext()};
};

}  // namespace vhost
