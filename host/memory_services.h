// The memory services: AllocateMemory and FreeMemory over the host's ledger.
//
// Freeing a block checks its guard bytes, and asks the host whether the
// block is still the last value of a data output (a producer publishes a
// null data value before it frees its package); both are reported.
//
// Thread-safety: the host's main thread only.
#pragma once

#include <cstdint>
#include <functional>

#include "host/memory_ledger.h"
#include "host/service_context.h"

namespace vhost {

class CMemoryServices {
 public:
  struct CSwitches {
    bool mFailAllocateMemory = false;  // AllocateMemory returns null
  };
  // Reports each live output whose last value lies in [block, block + size).
  using CPublishedCheck = std::function<void(const void* block, uint64_t size)>;

  CMemoryServices(CServiceContext context, CPublishedCheck checkNotPublished)
      : mContext(std::move(context)), mCheckNotPublished(std::move(checkNotPublished)) {}

  // ---- Service handlers (rows of the service list) ----
  void* AllocateMemory(uint64_t size, uint32_t zeroFill);
  uint16_t FreeMemory(void* block);

  CSwitches& Switches() { return mSwitches; }
  const CMemoryLedger& Ledger() const { return mLedger; }
  CMemoryLedger& Ledger() { return mLedger; }

 private:
  CServiceContext mContext;
  CPublishedCheck mCheckNotPublished;
  CSwitches mSwitches;
  CMemoryLedger mLedger;
};

}  // namespace vhost
