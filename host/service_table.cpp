// The C functions in the service table. Each finds the host, checks the
// thread, and forwards to the host's handler; nothing thrown gets out.
#include "host/service_table.h"

#include <fmt/format.h>

#include <array>
#include <cstring>
#include <thread>

#include "host/host.h"
#include "host/record_layout.h"

namespace vhost {

struct CServiceTableAccess {
  // The host to act on, or null (then the caller returns `neutral`).
  static CHost* HostFor(const char* service) {
    CHost* host = CHost::Current();
    if (host == nullptr) return nullptr;
    if (std::this_thread::get_id() != host->mMainThread) {
      host->ReportViolation(fmt::format("{} called off the host's main thread", service));
      return nullptr;
    }
    return host;
  }

  template <class R, class Call>
  static R Forward(const char* service, R neutral, Call&& call) noexcept {
    try {
      CHost* host = HostFor(service);
      if (host == nullptr) return neutral;
      return call(*host);
    } catch (...) {
      return neutral;
    }
  }

  template <class Call>
  static void ForwardVoid(const char* service, Call&& call) noexcept {
    try {
      if (CHost* host = HostFor(service)) call(*host);
    } catch (...) {
    }
  }

  static void* RegisterMessageReceiver(MessageReceiverFn receiver, uintptr_t, uint32_t kindMask,
                                       ActorInfo* info, uintptr_t, void* refcon) {
    return Forward<void*>("RegisterMessageReceiver", nullptr, [&](CHost& h) {
      return h.SvcRegisterMessageReceiver(receiver, kindMask, info, refcon);
    });
  }
  static void UnregisterMessageReceiver(void* handle) {
    ForwardVoid("UnregisterMessageReceiver", [&](CHost& h) { h.SvcUnregisterMessageReceiver(handle); });
  }
  static Value* GetInputPropertyValue(void* ref, uint16_t index) {
    return Forward<Value*>("GetInputPropertyValue", nullptr,
                           [&](CHost& h) { return h.SvcGetInputPropertyValue(ref, index); });
  }
  static uint16_t SetOutputPropertyValue(void* ref, uint16_t index, Value* value) {
    return Forward<uint16_t>("SetOutputPropertyValue", kErrNoHost,
                             [&](CHost& h) { return h.SvcSetOutputPropertyValue(ref, index, value); });
  }
  static void ReleaseVideoHandle(void* handle) {
    ForwardVoid("ReleaseVideoHandle", [&](CHost& h) { h.SvcReleaseVideoHandle(handle); });
  }
  static int32_t GetPropertyHelpIndex(void* ref, uint8_t kind, uint16_t index) {
    return Forward<int32_t>("GetPropertyHelpIndex", -1,
                            [&](CHost& h) { return h.SvcGetPropertyHelpIndex(ref, kind, index); });
  }
  static uint16_t AddOutputProperty(void* ref, uint8_t kind, uint32_t newID, uint32_t templateID,
                                    const char* name, uint32_t zero1, uint32_t code1, uint32_t code2,
                                    uint32_t flags255, Value* minimum, Value* maximum,
                                    Value* defaultValue, uint32_t zero2, uint32_t zero3,
                                    uint32_t zero4) {
    return Forward<uint16_t>("AddOutputProperty", kErrNoHost, [&](CHost& h) {
      return h.SvcAddOutputProperty(ref, kind, newID, templateID, name, zero1, code1, code2, flags255,
                                    minimum, maximum, defaultValue, zero2, zero3, zero4);
    });
  }
  static uint16_t RemoveOutputProperty(void* ref, uint8_t kind, uint16_t index) {
    return Forward<uint16_t>("RemoveOutputProperty", kErrNoHost,
                             [&](CHost& h) { return h.SvcRemoveOutputProperty(ref, kind, index); });
  }
  static uint16_t GetPropertyCount(void* ref, uint8_t kind, uint32_t* count) {
    return Forward<uint16_t>("GetPropertyCount", kErrNoHost,
                             [&](CHost& h) { return h.SvcGetPropertyCount(ref, kind, count); });
  }
  static void* AllocateMemory(uint64_t size, uint32_t zeroFill) {
    return Forward<void*>("AllocateMemory", nullptr,
                          [&](CHost& h) { return h.SvcAllocateMemory(size, zeroFill); });
  }
  static uint16_t FreeMemory(void* block) {
    return Forward<uint16_t>("FreeMemory", kErrNoHost, [&](CHost& h) { return h.SvcFreeMemory(block); });
  }
  static int32_t FindStringInList(uint32_t count, const char* const* strings, const char* text) {
    // Needs no host state, so it answers even when no host drives.
    if (strings == nullptr || text == nullptr) return -1;
    for (uint32_t i = 0; i < count; ++i) {
      if (strings[i] != nullptr && std::strcmp(strings[i], text) == 0) return static_cast<int32_t>(i);
    }
    return -1;
  }
  static void AssertionFailed(const char* condition, const char* actorName, int32_t line) {
    ForwardVoid("AssertionFailed", [&](CHost& h) { h.SvcAssertionFailed(condition, actorName, line); });
  }
  static void LoadActorPicture(ActorInfo* info, uint32_t zero, PictInfo* pict) {
    ForwardVoid("LoadActorPicture", [&](CHost& h) { h.SvcLoadActorPicture(info, zero, pict); });
  }
  static void DrawActorPicture(ActorInfo* info, uint8_t state, Rect* area, PictInfo* pict) {
    ForwardVoid("DrawActorPicture", [&](CHost& h) { h.SvcDrawActorPicture(info, state, area, pict); });
  }
  static void* BeginVideoRender(void* actorData, uint32_t kind, uint16_t arg, const uint8_t* data) {
    return Forward<void*>("BeginVideoRender", nullptr,
                          [&](CHost& h) { return h.SvcBeginVideoRender(actorData, kind, arg, data); });
  }
  static intptr_t EndVideoRender(void* token) {
    return Forward<intptr_t>("EndVideoRender", 0, [&](CHost& h) { return h.SvcEndVideoRender(token); });
  }
  static uint16_t GetPropertyTypeCodes(void* ref, uint8_t kind, uint16_t index, uint32_t* code1,
                                       uint32_t* code2) {
    return Forward<uint16_t>("GetPropertyTypeCodes", kErrNoHost, [&](CHost& h) {
      return h.SvcGetPropertyTypeCodes(ref, kind, index, code1, code2);
    });
  }
  static uint16_t MakeStringValue(const char* text, Value* value) {
    return Forward<uint16_t>("MakeStringValue", kErrNoHost,
                             [&](CHost& h) { return h.SvcMakeStringValue(text, value); });
  }
  static void ReleaseValue(Value* value) {
    ForwardVoid("ReleaseValue", [&](CHost& h) { h.SvcReleaseValue(value); });
  }
  static uint16_t SetPropertyDisplayName(void* ref, uint8_t kind, uint16_t index, const char* name) {
    return Forward<uint16_t>("SetPropertyDisplayName", kErrNoHost,
                             [&](CHost& h) { return h.SvcSetPropertyDisplayName(ref, kind, index, name); });
  }
  static void* CreateImageBuffer(void* ref, int32_t context, int32_t width, int32_t height,
                                 uint32_t flags, uint32_t zero) {
    return Forward<void*>("CreateImageBuffer", nullptr, [&](CHost& h) {
      return h.SvcCreateImageBuffer(ref, context, width, height, flags, zero);
    });
  }
  static void DisposeImageBuffer(void* ref, void* buffer) {
    ForwardVoid("DisposeImageBuffer", [&](CHost& h) { h.SvcDisposeImageBuffer(ref, buffer); });
  }
  static int32_t BeginImageBufferDraw(void* ref, void* buffer, uint8_t arg) {
    return Forward<int32_t>("BeginImageBufferDraw", 0,
                            [&](CHost& h) { return h.SvcBeginImageBufferDraw(ref, buffer, arg); });
  }
  static void* EndImageBufferDraw(void* ref, void* buffer) {
    return Forward<void*>("EndImageBufferDraw", nullptr,
                          [&](CHost& h) { return h.SvcEndImageBufferDraw(ref, buffer); });
  }
  static uint16_t GetPropertyDisplayName(void* ref, uint8_t kind, uint16_t index, char* buffer,
                                         uint32_t size) {
    return Forward<uint16_t>("GetPropertyDisplayName", kErrNoHost, [&](CHost& h) {
      return h.SvcGetPropertyDisplayName(ref, kind, index, buffer, size);
    });
  }
};

namespace {

// Each slot's function has exactly the C type the plug-ins call it through.
template <class Fn>
void Put(std::array<void*, layout::kServiceSlotCount>& table, size_t offset, Fn fn) {
  table[offset / 8] = reinterpret_cast<void*>(fn);
}

std::array<void*, layout::kServiceSlotCount> BuildTable() {
  using A = CServiceTableAccess;
  namespace s = service;
  std::array<void*, layout::kServiceSlotCount> t{};
  Put<s::RegisterMessageReceiver>(t, layout::kSvcRegisterMessageReceiver, &A::RegisterMessageReceiver);
  Put<s::UnregisterMessageReceiver>(t, layout::kSvcUnregisterMessageReceiver, &A::UnregisterMessageReceiver);
  Put<s::GetInputPropertyValue>(t, layout::kSvcGetInputPropertyValue, &A::GetInputPropertyValue);
  Put<s::SetOutputPropertyValue>(t, layout::kSvcSetOutputPropertyValue, &A::SetOutputPropertyValue);
  Put<s::ReleaseVideoHandle>(t, layout::kSvcReleaseVideoHandle, &A::ReleaseVideoHandle);
  Put<s::GetPropertyHelpIndex>(t, layout::kSvcGetPropertyHelpIndex, &A::GetPropertyHelpIndex);
  Put<s::AddOutputProperty>(t, layout::kSvcAddOutputProperty, &A::AddOutputProperty);
  Put<s::RemoveOutputProperty>(t, layout::kSvcRemoveOutputProperty, &A::RemoveOutputProperty);
  Put<s::GetPropertyCount>(t, layout::kSvcGetPropertyCount, &A::GetPropertyCount);
  Put<s::AllocateMemory>(t, layout::kSvcAllocateMemory, &A::AllocateMemory);
  Put<s::FreeMemory>(t, layout::kSvcFreeMemory, &A::FreeMemory);
  Put<s::FindStringInList>(t, layout::kSvcFindStringInList, &A::FindStringInList);
  Put<s::AssertionFailed>(t, layout::kSvcAssertionFailed, &A::AssertionFailed);
  Put<s::LoadActorPicture>(t, layout::kSvcLoadActorPicture, &A::LoadActorPicture);
  Put<s::DrawActorPicture>(t, layout::kSvcDrawActorPicture, &A::DrawActorPicture);
  Put<s::BeginVideoRender>(t, layout::kSvcBeginVideoRender, &A::BeginVideoRender);
  Put<s::EndVideoRender>(t, layout::kSvcEndVideoRender, &A::EndVideoRender);
  Put<s::GetPropertyTypeCodes>(t, layout::kSvcGetPropertyTypeCodes, &A::GetPropertyTypeCodes);
  Put<s::MakeStringValue>(t, layout::kSvcMakeStringValue, &A::MakeStringValue);
  Put<s::ReleaseValue>(t, layout::kSvcReleaseValue, &A::ReleaseValue);
  Put<s::SetPropertyDisplayName>(t, layout::kSvcSetPropertyDisplayName, &A::SetPropertyDisplayName);
  Put<s::CreateImageBuffer>(t, layout::kSvcCreateImageBuffer, &A::CreateImageBuffer);
  Put<s::DisposeImageBuffer>(t, layout::kSvcDisposeImageBuffer, &A::DisposeImageBuffer);
  Put<s::BeginImageBufferDraw>(t, layout::kSvcBeginImageBufferDraw, &A::BeginImageBufferDraw);
  Put<s::EndImageBufferDraw>(t, layout::kSvcEndImageBufferDraw, &A::EndImageBufferDraw);
  Put<s::GetPropertyDisplayName>(t, layout::kSvcGetPropertyDisplayName, &A::GetPropertyDisplayName);
  return t;
}

}  // namespace

void* const* ServiceTable() {
  static const std::array<void*, layout::kServiceSlotCount> table = BuildTable();
  return table.data();
}

VorlaneParameters* LoaderParameters() {
  alignas(16) static std::array<unsigned char, layout::kParametersSize> record = [] {
    std::array<unsigned char, layout::kParametersSize> r{};
    layout::WriteAt(r.data(), layout::kServiceTablePtr, ServiceTable());
    return r;
  }();
  return reinterpret_cast<VorlaneParameters*>(record.data());
}

}  // namespace vhost
