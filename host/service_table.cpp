// The C functions in the service table, made from the one list of services
// (contract/host_service_list.h). Each row names a part of the host and a
// service; the part's member function of that name is the handler, and its
// parameter list must be the service's C signature (checked below), so the
// generated function has exactly the type plug-ins call it through. Each
// generated function finds the host, checks the thread, and calls the
// handler with its arguments unchanged; nothing thrown gets out, and what it
// stops is reported as a host fault.
#include "host/service_table.h"

#include <fmt/format.h>

#include <array>
#include <cstdio>
#include <exception>
#include <thread>
#include <type_traits>

#include "host/allocation_counter.h"
#include "host/host.h"
#include "host/host_error.h"
#include "host/record_layout.h"
#include "host/thread_description.h"

namespace vhost {

// The part of a host that each word of the list's part column names.
#define VORL_SERVICE_PART_Messages CMessageReceiverList
#define VORL_SERVICE_PART_Properties CPropertyServices
#define VORL_SERVICE_PART_Memory CMemoryServices
#define VORL_SERVICE_PART_Strings CStringServices
#define VORL_SERVICE_PART_Assertions CAssertionLog
#define VORL_SERVICE_PART_Pictures CPictureServices
#define VORL_SERVICE_PART_Video CVideoServices

namespace {

template <class Part>
Part& PartOf(CHost& host);
template <>
CMessageReceiverList& PartOf(CHost& host) {
  return host.MessageReceivers();
}
template <>
CPropertyServices& PartOf(CHost& host) {
  return host.Properties();
}
template <>
CMemoryServices& PartOf(CHost& host) {
  return host.MemoryServices();
}
template <>
CStringServices& PartOf(CHost& host) {
  return host.StringServices();
}
template <>
CAssertionLog& PartOf(CHost& host) {
  return host.AssertionLog();
}
template <>
CPictureServices& PartOf(CHost& host) {
  return host.Pictures();
}
template <>
CVideoServices& PartOf(CHost& host) {
  return host.Video();
}

}  // namespace

struct CServiceTableAccess {
  enum class EHostFor { kHost, kNoHost, kWrongThread };

  // The host to act on, or null (then the caller returns its neutral result).
  static CHost* HostFor(const char* service, EHostFor& why) noexcept {
    CHost* host = CHost::Current();
    if (host == nullptr) {
      why = EHostFor::kNoHost;
      return nullptr;
    }
    if (std::this_thread::get_id() != host->mMainThread) {
      why = EHostFor::kWrongThread;
      try {
        host->ReportViolation(
            fmt::format("{} called off the host's main thread, on {} (services may be called "
                        "only on the thread that calls the entry points)",
                        service, DescribeCurrentThread()));
      } catch (...) {
        ReportHostFault(nullptr, service, "the off-thread call could not be reported");
      }
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

  // What a service answers when it did nothing: error-code services say why,
  // the others give the list's neutral result.
  template <class S>
  static typename S::Result Neutral(EHostFor why) {
    if constexpr (std::is_same_v<typename S::Result, uint16_t>) {
      return why == EHostFor::kWrongThread ? kErrWrongThread : kErrNoHost;
    } else {
      return S::EmptySlotResult();
    }
  }

  // Runs `work` for service S on `host` (null: the service needs none),
  // stopping what it throws.
  template <class S, class Work>
  static typename S::Result Guarded(CHost* host, EHostFor why, Work&& work) {
    try {
      if (host != nullptr && host->mSwitches.mFailInServiceHandlers) {
        throw CHostError("a fault switched on for tests");
      }
      return work();
    } catch (const std::exception& e) {
      ReportHostFault(host, S::kName, e.what());
    } catch (...) {
      ReportHostFault(host, S::kName, "not a standard exception");
    }
    return Neutral<S>(why);
  }

  template <class S, auto kHandler>
  struct CThunk;

  // A member function of the part: needs the host that drives.
  template <class S, class Part, class R, class... Args, R (Part::*kHandler)(Args...)>
  struct CThunk<S, kHandler> {
    static_assert(std::is_same_v<R (*)(Args...), typename S::Proc>,
                  "a handler takes exactly the C parameters of its service");
    static R Call(Args... args) {
      const CUncountedHostWork hostWork;
      EHostFor why = EHostFor::kNoHost;
      CHost* const host = HostFor(S::kName, why);
      if (host == nullptr) return Neutral<S>(why);
      return Guarded<S>(host, why, [&] { return (PartOf<Part>(*host).*kHandler)(args...); });
    }
  };

  // A static function of the part: needs no host state, so it answers even
  // when no host drives; a host that drives still refuses other threads.
  template <class S, class R, class... Args, R (*kHandler)(Args...)>
  struct CThunk<S, kHandler> {
    static_assert(std::is_same_v<R (*)(Args...), typename S::Proc>,
                  "a handler takes exactly the C parameters of its service");
    static R Call(Args... args) {
      EHostFor why = EHostFor::kNoHost;
      CHost* host = nullptr;
      if (CHost::Current() != nullptr) {
        host = HostFor(S::kName, why);
        if (host == nullptr) return Neutral<S>(why);
      }
      return Guarded<S>(host, why, [&] { return kHandler(args...); });
    }
  };

  static std::array<void*, layout::kServiceSlotCount> BuildTable() {
    std::array<void*, layout::kServiceSlotCount> table{};
#define VORL_SERVICE_SLOT(offset, name, result, params, rule, part, neutral) \
  static_assert((offset) / 8 < layout::kServiceSlotCount);                   \
  table[(offset) / 8] =                                                      \
      reinterpret_cast<void*>(&CThunk<HostService::name, &VORL_SERVICE_PART_##part::name>::Call);
    VORL_HOST_SERVICES(VORL_SERVICE_SLOT)
#undef VORL_SERVICE_SLOT
    return table;
  }
};

void* const* ServiceTable() {
  static const std::array<void*, layout::kServiceSlotCount> table =
      CServiceTableAccess::BuildTable();
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
