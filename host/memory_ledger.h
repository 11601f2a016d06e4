// The host's AllocateMemory / FreeMemory with leak accounting.
//
// Blocks are zero-filled when asked (the second argument 1); otherwise they
// are filled with 0xCD so that a plug-in relying on zeros it did not ask for
// shows it. A switch makes every allocation fail, as a host out of memory
// would. Freeing a block the ledger did not hand out is refused and reported
// by the caller; FreeMemory(null) is allowed. Blocks still live when the
// ledger is destroyed are freed then (after the host has reported them).
//
// Every block has guard bytes on both sides (guarded_block.h) and remembers
// the instance and entry point it was allocated in, so that a write outside
// it can be reported with both when the block is freed or checked.
//
// Thread-safety: none; used on the host's main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/guarded_block.h"

namespace vhost {

class CMemoryLedger {
 public:
  CMemoryLedger() = default;
  CMemoryLedger(const CMemoryLedger&) = delete;
  CMemoryLedger& operator=(const CMemoryLedger&) = delete;
  ~CMemoryLedger();

  // Where a block was allocated: the instance (empty when none) and the
  // entry point ("CreateActor").
  struct CAllocationSite {
    std::string mInstance;
    std::string mEntryPoint;
  };

  // Null when failing is switched on (counted in FailedCount()). The block is
  // aligned to 16 bytes.
  void* Allocate(uint64_t size, uint32_t zeroFill, CAllocationSite site = {});
  enum class EFree { kFreed, kNull, kUnknown };
  EFree Free(void* block);

  // A write outside a live block, described for a report ("'a' wrote 1
  // byte(s) past the end of its 24-byte AllocateMemory block (allocated in
  // CreateActor)"); nothing when its guards are whole or it was reported
  // already.
  std::optional<std::string> GuardDamage(const void* block);
  // The same for every live block, each reported once.
  std::vector<std::string> CheckAllGuards();

  void SetFailing(bool failing) { mFailing = failing; }
  bool Failing() const { return mFailing; }

  size_t LiveBlocks() const { return mBlocks.size(); }
  uint64_t LiveBytes() const { return mLiveBytes; }
  uint64_t AllocationCount() const { return mAllocations; }
  uint64_t FreeCount() const { return mFrees; }
  uint64_t FailedCount() const { return mFailed; }
  bool Owns(const void* block) const { return mBlocks.count(const_cast<void*>(block)) != 0; }
  // The size asked for a live block; nothing for any other pointer.
  std::optional<uint64_t> BlockSize(const void* block) const {
    const auto it = mBlocks.find(const_cast<void*>(block));
    if (it == mBlocks.end()) return std::nullopt;
    return it->second.mSize;
  }

 private:
  struct CBlock {
    uint64_t mSize;  // as requested
    CAllocationSite mSite;
    bool mDamageReported = false;
  };
  std::optional<std::string> Describe(const void* block, CBlock& entry);

  std::unordered_map<void*, CBlock> mBlocks;
  uint64_t mLiveBytes = 0;
  uint64_t mAllocations = 0;
  uint64_t mFrees = 0;
  uint64_t mFailed = 0;
  bool mFailing = false;
};

}  // namespace vhost
