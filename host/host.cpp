#include "host/host.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "host/allocation_counter.h"
#include "host/entry_point_call.h"
#include "host/four_char_code.h"
#include "host/host_error.h"
#include "host/input_conversion.h"
#include "host/service_table.h"

namespace vhost {

namespace {

std::atomic<CHost*> gDrivingHost{nullptr};

struct CLiveHosts {
  std::mutex mMutex;
  std::vector<CHost*> mHosts;
};
CLiveHosts& LiveHosts() {
  static auto* hosts = new CLiveHosts;  // reachable from plug-in threads until the very end
  return *hosts;
}

const char* StateName(CActorInstance::EState state) {
  switch (state) {
    case CActorInstance::EState::kDefined: return "not created";
    case CActorInstance::EState::kCreated: return "created";
    case CActorInstance::EState::kActive: return "active";
    case CActorInstance::EState::kInactive: return "inactive";
    case CActorInstance::EState::kDisposed: return "disposed";
  }
  return "?";
}

}  // namespace

// Makes a host Current() for the length of a call into plug-in code; nests.
class CDrivingScope {
 public:
  explicit CDrivingScope(CHost* host) : mPrevious(gDrivingHost.exchange(host)) {
    // Plug-in threads that call services while this call runs cannot read
    // the switches; they read this copy.
    host->mPrintViolationsOffThread.store(host->mSwitches.mPrintViolations, std::memory_order_relaxed);
  }
  ~CDrivingScope() { gDrivingHost.store(mPrevious); }
  CDrivingScope(const CDrivingScope&) = delete;
  CDrivingScope& operator=(const CDrivingScope&) = delete;

 private:
  CHost* mPrevious;
};

namespace {

// The host programs' free() reports here what plug-in code gives back to the
// C heap: a producer's package comes from there.
void ObserveHeapRelease(const void* block, size_t size) {
  try {
    if (CHost* host = CHost::Current()) host->CheckHeapReleaseByPlugin(block, size);
  } catch (...) {
    // Inside free(): a report that cannot be made is dropped, the block
    // still goes.
  }
}

}  // namespace

CHost::CHost() : mMainThread(std::this_thread::get_id()) {
  SetHeapReleaseObserver(&ObserveHeapRelease);
  layout::WriteAt(mParameters.data(), layout::kServiceTablePtr, ServiceTable());
  auto& hosts = LiveHosts();
  std::lock_guard lock(hosts.mMutex);
  hosts.mHosts.push_back(this);
}

CHost::~CHost() {
  {
    CDrivingScope scope(this);
    for (auto it = mInstances.rbegin(); it != mInstances.rend(); ++it) {
      CActorInstance& instance = **it;
      if (instance.IsLive()) Dispose(instance);
    }
  }
  auto& hosts = LiveHosts();
  std::lock_guard lock(hosts.mMutex);
  std::erase(hosts.mHosts, this);
}

CHost* CHost::Current() {
  if (CHost* driving = gDrivingHost.load()) return driving;
  auto& hosts = LiveHosts();
  std::lock_guard lock(hosts.mMutex);
  return hosts.mHosts.empty() ? nullptr : hosts.mHosts.back();
}

// ---- Instances ----

CActorInstance& CHost::AddInstance(const CPlugin& plugin, std::string name) {
  const uint32_t serial = mNextInstanceSerial++;
  if (name.empty()) {
    name = fmt::format("{}{}", std::filesystem::path(plugin.Path()).stem().string(), serial);
  }
  if (FindInstance(name) != nullptr) throw CHostError(fmt::format("an instance named '{}' exists", name));
  std::unique_ptr<CActorInstance> instance(new CActorInstance(plugin, std::move(name), serial));
  CActorInstance& result = *instance;
  mLiveRefs.emplace(result.Ref(), &result);
  mInstancesByName.emplace(result.Name(), &result);
  mInstances.push_back(std::move(instance));
  return result;
}

void CHost::Create(CActorInstance& instance) {
  if (instance.mState != CActorInstance::EState::kDefined) {
    throw CHostError(fmt::format("Create: '{}' is {}", instance.Name(), StateName(instance.mState)));
  }
  CDrivingScope scope(this);
  instance.mState = CActorInstance::EState::kCreated;
  CEntryPointCall call(instance.Name(), "CreateActor");
  const CCountedPluginCall counted;
  instance.Plugin().mCreateActor(Parameters(), instance.Info());
}

void CHost::Activate(CActorInstance& instance) {
  if (instance.mState != CActorInstance::EState::kCreated &&
      instance.mState != CActorInstance::EState::kInactive) {
    throw CHostError(fmt::format("Activate: '{}' is {}", instance.Name(), StateName(instance.mState)));
  }
  CDrivingScope scope(this);
  instance.mState = CActorInstance::EState::kActive;
  {
    CEntryPointCall call(instance.Name(), "ActivateActor", CEntryPointCall::EArgument::kDecimal, 1);
    const CCountedPluginCall counted;
    instance.Plugin().mActivateActor(Parameters(), instance.Info(), 1);
  }
  // The watcher resets its settings at activation and relies on getting
  // every input again right after it.
  // Counted wider than an index: 65,535 inputs must not wrap the count to 0.
  for (size_t i = 1; i <= instance.InputCount(); ++i) {
    if (!instance.IsActive()) break;
    const auto index = static_cast<uint16_t>(i);
    CHostValue current = instance.Input(index).mValue;
    mWires.Deliver(Parameters(), instance, index, std::move(current), 1);
  }
}

void CHost::Deactivate(CActorInstance& instance) {
  if (instance.mState != CActorInstance::EState::kActive) {
    throw CHostError(fmt::format("Deactivate: '{}' is {}", instance.Name(), StateName(instance.mState)));
  }
  CDrivingScope scope(this);
  {
    CEntryPointCall call(instance.Name(), "ActivateActor", CEntryPointCall::EArgument::kDecimal, 0);
    const CCountedPluginCall counted;
    instance.Plugin().mActivateActor(Parameters(), instance.Info(), 0);
  }
  instance.mState = CActorInstance::EState::kInactive;
  const size_t left = mReceivers.CountWithRefcon(instance.Info());
  if (left != 0) {
    ReportViolation(fmt::format("'{}' left {} message receiver(s) registered after deactivation",
                                instance.Name(), left));
  }
}

void CHost::Dispose(CActorInstance& instance) {
  if (instance.mState == CActorInstance::EState::kActive) Deactivate(instance);
  if (!instance.IsLive()) {
    throw CHostError(fmt::format("Dispose: '{}' is {}", instance.Name(), StateName(instance.mState)));
  }
  CDrivingScope scope(this);
  {
    CEntryPointCall call(instance.Name(), "DisposeActor");
    const CCountedPluginCall counted;
    instance.Plugin().mDisposeActor(Parameters(), instance.Info());
  }
  instance.mState = CActorInstance::EState::kDisposed;
  mWires.ForgetInstance(instance);
}

CActorInstance& CHost::Spawn(const CPlugin& plugin, std::string name) {
  CActorInstance& instance = AddInstance(plugin, std::move(name));
  Create(instance);
  Activate(instance);
  return instance;
}

const std::string& CHost::NameOfRecord(const void* info) const {
  static const std::string kNone;
  for (const auto& instance : mInstances) {
    if (instance->RecordBytes() == info) return instance->Name();
  }
  return kNone;
}

CActorInstance* CHost::FindInstance(std::string_view name) {
  const auto it = mInstancesByName.find(name);
  return it != mInstancesByName.end() ? it->second : nullptr;
}

std::vector<CActorInstance*> CHost::Instances() {
  std::vector<CActorInstance*> all;
  for (auto& instance : mInstances) all.push_back(instance.get());
  return all;
}

// ---- Inputs ----

void CHost::RequireIndex(const CActorInstance& instance, uint16_t index, bool input) const {
  const size_t count = input ? instance.InputCount() : instance.OutputCount();
  if (index < 1 || index > count) {
    throw CHostError(fmt::format("'{}' has no {} {} (it has {})", instance.Name(),
                                 input ? "input" : "output", index, count));
  }
}

void CHost::PresetInput(CActorInstance& instance, uint16_t index, const CHostValue& value) {
  RequireIndex(instance, index, true);
  if (instance.IsActive()) {
    throw CHostError(fmt::format("PresetInput: '{}' is active; use SetInput", instance.Name()));
  }
  auto& slot = instance.MutableInput(index);
  slot.mValue = ConvertForInput(slot.mDescriptor, value);
}

void CHost::SetInput(CActorInstance& instance, uint16_t index, const CHostValue& value) {
  RequireIndex(instance, index, true);
  const auto& descriptor = instance.Input(index).mDescriptor;
  const uint16_t type = value.Type();
  const bool numericValue = type == layout::kTypeInteger || type == layout::kTypeFloat;
  const bool fits = descriptor.IsNumeric()                         ? numericValue
                    : descriptor.mType == EPropertyType::kString ? type == layout::kTypeString
                                                                  : type == layout::kTypeData;
  if (!fits) {
    throw CHostError(fmt::format("input {} of '{}' is {}; a value of tag {} does not fit (use "
                                 "InjectInput to send it anyway)",
                                 index, instance.Name(), descriptor.mTypeText, type));
  }
  CHostValue converted = ConvertForInput(descriptor, value);
  if (!instance.IsLive()) {
    instance.MutableInput(index).mValue = std::move(converted);
    return;
  }
  CDrivingScope scope(this);
  mWires.Deliver(Parameters(), instance, index, std::move(converted), 0);
}

void CHost::InjectInput(CActorInstance& instance, uint16_t index, const CHostValue& raw, uint8_t flag) {
  RequireIndex(instance, index, true);
  if (!instance.IsLive()) {
    instance.MutableInput(index).mValue = raw;
    return;
  }
  CDrivingScope scope(this);
  mWires.Deliver(Parameters(), instance, index, raw, flag);
}

uint16_t CHost::InputIndex(const CActorInstance& instance, std::string_view key) const {
  const uint16_t index = instance.FindInput(key);
  if (index == 0) throw CHostError(fmt::format("'{}' has no input '{}'", instance.Name(), key));
  return index;
}

uint16_t CHost::OutputIndex(const CActorInstance& instance, std::string_view key) const {
  const uint16_t index = instance.FindOutput(key);
  if (index == 0) throw CHostError(fmt::format("'{}' has no output '{}'", instance.Name(), key));
  return index;
}

// ---- Wires ----

void CHost::Connect(CActorInstance& from, uint16_t output, CActorInstance& to, uint16_t input) {
  RequireIndex(from, output, false);
  RequireIndex(to, input, true);
  if (&from == &to) throw CHostError(fmt::format("'{}' cannot be wired to itself", from.Name()));
  const auto& out = from.Output(output);
  const auto& in = to.Input(input);
  if (!CanWire(out.mDescriptor, in.mDescriptor)) {
    throw CHostError(fmt::format("cannot wire {}.{} ({}) to {}.{} ({})", from.Name(), out.mDisplayName,
                                 out.mDescriptor.mTypeText, to.Name(), in.mDescriptor.mName,
                                 in.mDescriptor.mTypeText));
  }
  mWires.Connect(from, output, to, input);
}

// ---- Messages ----

CMessageDelivery CHost::SendMessage(uint32_t kind, uint16_t arg, const void* data, uint32_t length) {
  CMessageDelivery delivery;
  for (void* handle : mReceivers.HandlesFor(kind)) {
    // A receiver may have gone while an earlier one ran.
    const CMessageDelivery one = SendMessageTo(handle, kind, arg, data, length);
    delivery.mReceivers += one.mReceivers;
    delivery.mResults.insert(delivery.mResults.end(), one.mResults.begin(), one.mResults.end());
  }
  return delivery;
}

CMessageDelivery CHost::SendMessageTo(void* handle, uint32_t kind, uint16_t arg, const void* data,
                                      uint32_t length) {
  CDrivingScope scope(this);
  CMessageDelivery delivery;
  const auto receiver = mReceivers.Find(handle);
  if (!receiver || (receiver->mKindMask & kind) == 0) return delivery;
  ++mCounters.mMessagesDelivered;
  ++delivery.mReceivers;
  intptr_t result = 0;
  {
    CEntryPointCall call(NameOfRecord(receiver->mRefcon), "ReceiveMessage", CEntryPointCall::EArgument::kHex, kind);
    const CCountedPluginCall counted;
    result = receiver->mReceiver(Parameters(), kind, arg, static_cast<const uint8_t*>(data), length,
                                 receiver->mRefcon);
  }
  delivery.mResults.push_back(result);
  mVideo.CloseBrackets(kind);
  return delivery;
}

CMessageDelivery CHost::Tick() {
  ++mTicks;
  return SendMessage(kMessageTick);
}

CMessageDelivery CHost::RequestRender(uint16_t arg) { return SendMessage(kMessageRenderRequest, arg); }

CMessageDelivery CHost::LoseContext(int32_t number) {
  return SendMessage(kMessageContextLost, 0, &number, sizeof(number));
}

// ---- Other entry points ----

void CHost::CallGetHelpString(CActorInstance& instance, uint8_t kind, uint16_t index, char* buffer,
                              uint32_t size) {
  CDrivingScope scope(this);
  CEntryPointCall call(instance.Name(), "GetHelpString");
  const CCountedPluginCall counted;
  instance.Plugin().mGetHelpString(Parameters(), instance.Info(), kind, index, buffer, size);
}

std::string CHost::HelpText(CActorInstance& instance, uint8_t kind, uint16_t index, uint32_t size) {
  std::vector<char> buffer(size + 1, 0);
  CallGetHelpString(instance, kind, index, buffer.data(), size);
  // The extra byte keeps a plug-in that forgot the terminator readable.
  return std::string(buffer.data());
}

std::optional<std::string> CHost::ValueToString(CActorInstance& instance, uint8_t kind,
                                                uint16_t index, const CHostValue& value) {
  CDrivingScope scope(this);
  CHostValue copy = value;
  std::array<char, 257> text{};
  CEntryPointCall call(instance.Name(), "PropertyValueToString");
  uint8_t wrote = 0;
  {
    const CCountedPluginCall counted;
    wrote = instance.Plugin().mPropertyValueToString(Parameters(), instance.Info(), kind, index, copy.Record(),
                                                     text.data());
  }
  if (wrote == 0) return std::nullopt;
  return std::string(text.data());
}

std::optional<CHostValue> CHost::StringToValue(CActorInstance& instance, uint8_t kind, uint16_t index,
                                               const std::string& text) {
  if (instance.Plugin().mPropertyStringToValue == nullptr) return std::nullopt;
  CDrivingScope scope(this);
  CHostValue value = CHostValue::FromRaw(0, 0);
  CEntryPointCall call(instance.Name(), "PropertyStringToValue");
  uint8_t filled = 0;
  {
    const CCountedPluginCall counted;
    filled = instance.Plugin().mPropertyStringToValue(Parameters(), instance.Info(), kind, index, text.c_str(),
                                                      value.Record());
  }
  if (filled == 0) return std::nullopt;
  return CHostValue::CopyOf(value.Record());
}

CActorArea CHost::GetActorDefinedArea(CActorInstance& instance) {
  CDrivingScope scope(this);
  CActorArea area;
  CEntryPointCall call(instance.Name(), "GetActorDefinedArea");
  const CCountedPluginCall counted;
  area.mResult = instance.Plugin().mGetActorDefinedArea(Parameters(), instance.Info(), &area.mWidth,
                                                        &area.mHeight, &area.mThird, &area.mFourth);
  return area;
}

void CHost::DrawActorDefinedArea(CActorInstance& instance, uint16_t part, uint8_t state) {
  CDrivingScope scope(this);
  alignas(8) std::array<int16_t, 4> area{0, 0, 100, 100};
  alignas(8) std::array<int16_t, 4> other{0, 0, 100, 100};
  CEntryPointCall call(instance.Name(), "DrawActorDefinedArea");
  const CCountedPluginCall counted;
  instance.Plugin().mDrawActorDefinedArea(Parameters(), instance.Info(), nullptr, part, 0,
                                          reinterpret_cast<Rect*>(area.data()),
                                          reinterpret_cast<Rect*>(other.data()), state);
}

// ---- Recording and diagnostics ----

std::vector<const COutputRecord*> CHost::OutputsSince(uint64_t mark, const CActorInstance* instance,
                                                      std::string_view output) const {
  return mRecorder.Since(mark, instance != nullptr ? instance->Serial() : 0, 0, output);
}

const COutputRecord* CHost::LastOutput(const CActorInstance& instance, uint16_t index) const {
  return mRecorder.Last(instance.Serial(), index);
}

const COutputRecord* CHost::LastOutput(const CActorInstance& instance, std::string_view outputID) const {
  return mRecorder.Last(instance.Serial(), outputID);
}

std::vector<std::string> CHost::Violations() const {
  std::lock_guard lock(mViolationMutex);
  return mViolations;
}

void CHost::ClearViolations() {
  std::lock_guard lock(mViolationMutex);
  mViolations.clear();
}

void CHost::ReportViolation(std::string text) {
  // The switches belong to the main thread; a report from elsewhere reads
  // the copy taken when the host last called into plug-in code.
  const bool mainThread = std::this_thread::get_id() == mMainThread;
  const bool print = mainThread ? mSwitches.mPrintViolations
                                : mPrintViolationsOffThread.load(std::memory_order_relaxed);
  if (print) std::cerr << "actorhost: violation: " << text << '\n';
  std::lock_guard lock(mViolationMutex);
  mViolations.push_back(std::move(text));
}

std::vector<std::string> CHost::HostFaults() const {
  std::lock_guard lock(mViolationMutex);
  return mHostFaults;
}

void CHost::ReportHostFault(std::string text) {
  std::cerr << "actorhost: host fault: " << text << '\n';
  std::lock_guard lock(mViolationMutex);
  mHostFaults.push_back(std::move(text));
}

void CHost::CheckGuardBytes() {
  for (std::string& damage : mMemory.Ledger().CheckAllGuards()) ReportViolation(damage + "; found at the end");
  mVideo.CheckGuardBytes();
}

void CHost::SetImageBufferBackend(std::unique_ptr<CImageBufferBackend> backend) {
  mVideo.SetBackend(std::move(backend));
}

// ---- What the service parts ask of the host ----

CServiceContext CHost::ServiceContext() {
  return {[this](std::string text) { ReportViolation(std::move(text)); },
          [this](void* ref, const char* service) { return LiveInstanceOfRef(ref, service); }};
}

CActorInstance* CHost::LiveInstanceOfRef(void* ref, const char* service) {
  auto it = mLiveRefs.find(ref);
  if (it == mLiveRefs.end()) {
    ReportViolation(fmt::format("{}: {} is not an actor reference of this host", service, ref));
    return nullptr;
  }
  if (it->second->State() == CActorInstance::EState::kDisposed) {
    ReportViolation(fmt::format("{}: '{}' was disposed", service, it->second->Name()));
    return nullptr;
  }
  return it->second;
}

void CHost::ReportPublishedIn(const CActorInstance& instance, const unsigned char* begin,
                              const unsigned char* end) {
  for (size_t i = 1; i <= instance.OutputCount(); ++i) {
    const COutputSlot& slot = instance.Output(static_cast<uint16_t>(i));
    if (!slot.mSent || slot.mValue.Type() != layout::kTypeData) continue;
    const auto* published = static_cast<const unsigned char*>(slot.mValue.AsPointer());
    if (published == nullptr || published < begin || published >= end) continue;
    ReportViolation(fmt::format("'{}' freed a block that is still the last value of its output {} ('{}'), "
                                "in {} (publish a null data value before freeing a published package)",
                                instance.Name(), i, slot.mDisplayName, CEntryPointCall::DescribeCurrent()));
  }
}

void CHost::CheckFreedBlockIsNotPublished(const void* block, uint64_t size) {
  const auto* begin = static_cast<const unsigned char*>(block);
  const auto* end = begin + std::max<uint64_t>(size, 1);
  for (const auto& instance : mInstances) {
    if (instance->IsLive()) ReportPublishedIn(*instance, begin, end);
  }
}

void CHost::CheckHeapReleaseByPlugin(const void* block, size_t size) {
  // Only the instance whose entry point runs: looking through every
  // instance on each free() would make large patches quadratic.
  const CEntryPointCall* call = CEntryPointCall::Current();
  if (call == nullptr || call->Instance().empty()) return;
  const CActorInstance* instance = FindInstance(call->Instance());
  if (instance == nullptr || !instance->IsLive()) return;
  const auto* begin = static_cast<const unsigned char*>(block);
  ReportPublishedIn(*instance, begin, begin + std::max<size_t>(size, 1));
}

}  // namespace vhost
