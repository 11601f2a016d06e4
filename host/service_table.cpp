// The C functions in the service table, generated from one list of
// (offset, handler) pairs. Each generated function finds the host, checks
// the thread, and calls the host's handler with its arguments unchanged;
// nothing thrown gets out, and what it stops is reported as a host fault. A
// handler's parameter list is the service's C signature, so the generated
// function has exactly the type plug-ins call it through (plugin_abi.h).
#include "host/service_table.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <thread>
#include <type_traits>
#include <vector>

#include "host/allocation_counter.h"
#include "host/host.h"
#include "host/host_error.h"
#include "host/record_layout.h"
#include "host/thread_description.h"

namespace vhost {

namespace {

// A service's name as a template argument, for the reports it makes.
template <size_t N>
struct CServiceName {
  constexpr CServiceName(const char (&text)[N]) { std::copy_n(text, N, mText); }
  char mText[N];
};

struct CServiceSlot {
  size_t mOffset;
  void* mFunction;
};

// Needs no host state, so it answers even when no host drives.
int32_t FindStringInList(uint32_t count, const char* const* strings, const char* text) {
  if (strings == nullptr || text == nullptr) return -1;
  for (uint32_t i = 0; i < count; ++i) {
    if (strings[i] != nullptr && std::strcmp(strings[i], text) == 0) return static_cast<int32_t>(i);
  }
  return -1;
}

}  // namespace

struct CServiceTableAccess {
  enum class EHostFor { kHost, kNoHost, kWrongThread };

  // The host to act on, or null (then the caller returns its neutral result).
  static CHost* HostFor(const char* service, EHostFor& why) {
    CHost* host = CHost::Current();
    if (host == nullptr) {
      why = EHostFor::kNoHost;
      return nullptr;
    }
    if (std::this_thread::get_id() != host->mMainThread) {
      why = EHostFor::kWrongThread;
      host->ReportViolation(fmt::format("{} called off the host's main thread, on {} (services may be called "
                                        "only on the thread that calls the entry points)",
                                        service, DescribeCurrentThread()));
      return nullptr;
    }
    why = EHostFor::kHost;
    return host;
  }

  // A handler that throws is a fault of this host, not of the plug-in: it is
  // reported as such (the plug-in gets the neutral result).
  static void ReportHostFault(CHost* host, const char* service, const char* what) noexcept {
    try {
      if (host != nullptr) {
        host->ReportHostFault(fmt::format("{} stopped an exception: {}", service, what));
        return;
      }
    } catch (...) {
      // Out of memory for the report itself: the line below needs none.
    }
    std::fprintf(stderr, "actorhost: host fault: %s stopped an exception: %s\n", service, what);
  }

  template <auto kHandler, CServiceName kName, auto kNeutral>
  struct CThunk;

  template <class R, class... Args, R (CHost::*kHandler)(Args...), CServiceName kName, auto kNeutral>
  struct CThunk<kHandler, kName, kNeutral> {
    static R Call(Args... args) {
      const CUncountedHostWork hostWork;
      EHostFor why = EHostFor::kNoHost;
      CHost* host = nullptr;
      try {
        host = HostFor(kName.mText, why);
        if (host != nullptr) {
          if (host->mSwitches.mFailInServiceHandlers) throw CHostError("a fault switched on for tests");
          return (host->*kHandler)(args...);
        }
      } catch (const std::exception& e) {
        ReportHostFault(host, kName.mText, e.what());
      } catch (...) {
        ReportHostFault(host, kName.mText, "not a standard exception");
      }
      // Services that answer an error code say why they did nothing.
      if constexpr (std::is_same_v<R, uint16_t>) {
        if (why == EHostFor::kWrongThread) return kErrWrongThread;
      }
      if constexpr (!std::is_void_v<R>) return static_cast<R>(kNeutral);
    }
  };

  // One slot of the table: the service at byte `kOffset`, handled by
  // `kHandler`, answering `kNeutral` when there is no host to act on (or the
  // handler threw). Void services take 0 as neutral.
  template <size_t kOffset, auto kHandler, CServiceName kName, auto kNeutral>
  static CServiceSlot Slot() {
    static_assert(kOffset % 8 == 0 && kOffset / 8 < layout::kServiceSlotCount);
    return {kOffset, reinterpret_cast<void*>(&CThunk<kHandler, kName, kNeutral>::Call)};
  }

  static std::vector<CServiceSlot> Services() {
    using H = CHost;
    return {
        Slot<0x008, &H::SvcRegisterMessageReceiver, "RegisterMessageReceiver", nullptr>(),
        Slot<0x010, &H::SvcUnregisterMessageReceiver, "UnregisterMessageReceiver", 0>(),
        Slot<0x030, &H::SvcGetInputPropertyValue, "GetInputPropertyValue", nullptr>(),
        Slot<0x038, &H::SvcSetOutputPropertyValue, "SetOutputPropertyValue", kErrNoHost>(),
        Slot<0x098, &H::SvcReleaseVideoHandle, "ReleaseVideoHandle", 0>(),
        Slot<0x0b8, &H::SvcGetPropertyHelpIndex, "GetPropertyHelpIndex", -1>(),
        Slot<0x0c0, &H::SvcAddOutputProperty, "AddOutputProperty", kErrNoHost>(),
        Slot<0x0c8, &H::SvcRemoveOutputProperty, "RemoveOutputProperty", kErrNoHost>(),
        Slot<0x0d0, &H::SvcGetPropertyCount, "GetPropertyCount", kErrNoHost>(),
        Slot<0x118, &H::SvcAllocateMemory, "AllocateMemory", nullptr>(),
        Slot<0x120, &H::SvcFreeMemory, "FreeMemory", kErrNoHost>(),
        {0x128, reinterpret_cast<void*>(&FindStringInList)},
        Slot<0x160, &H::SvcAssertionFailed, "AssertionFailed", 0>(),
        Slot<0x168, &H::SvcLoadActorPicture, "LoadActorPicture", 0>(),
        Slot<0x170, &H::SvcDrawActorPicture, "DrawActorPicture", 0>(),
        Slot<0x190, &H::SvcBeginVideoRender, "BeginVideoRender", nullptr>(),
        Slot<0x198, &H::SvcEndVideoRender, "EndVideoRender", 0>(),
        Slot<0x1c8, &H::SvcGetPropertyTypeCodes, "GetPropertyTypeCodes", kErrNoHost>(),
        Slot<0x310, &H::SvcMakeStringValue, "MakeStringValue", kErrNoHost>(),
        Slot<0x318, &H::SvcReleaseValue, "ReleaseValue", 0>(),
        Slot<0x510, &H::SvcSetPropertyDisplayName, "SetPropertyDisplayName", kErrNoHost>(),
        Slot<0x640, &H::SvcCreateImageBuffer, "CreateImageBuffer", nullptr>(),
        Slot<0x648, &H::SvcDisposeImageBuffer, "DisposeImageBuffer", 0>(),
        Slot<0x658, &H::SvcBeginImageBufferDraw, "BeginImageBufferDraw", 0>(),
        Slot<0x660, &H::SvcEndImageBufferDraw, "EndImageBufferDraw", nullptr>(),
        Slot<0x670, &H::SvcGetPropertyDisplayName, "GetPropertyDisplayName", kErrNoHost>(),
    };
  }
};

namespace {

std::array<void*, layout::kServiceSlotCount> BuildTable() {
  std::array<void*, layout::kServiceSlotCount> table{};
  for (const CServiceSlot& slot : CServiceTableAccess::Services()) {
    if (table[slot.mOffset / 8] != nullptr) {
      std::fprintf(stderr, "actorhost: two services at offset 0x%zx\n", slot.mOffset);
      std::abort();
    }
    table[slot.mOffset / 8] = slot.mFunction;
  }
  return table;
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
