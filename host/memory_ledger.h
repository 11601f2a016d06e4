// The host's AllocateMemory / FreeMemory with leak accounting.
//
// Blocks are zero-filled when asked (the second argument 1); otherwise they
// are filled with 0xCD so that a plug-in relying on zeros it did not ask for
// shows it. A switch makes every allocation fail, as a host out of memory
// would. Freeing a block the ledger did not hand out is refused and reported
// by the caller; FreeMemory(null) is allowed. Blocks still live when the
// ledger is destroyed are freed then (after the host has reported them).
//
// Thread-safety: none; used on the host's main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>

namespace vhost {

class CMemoryLedger {
 public:
  CMemoryLedger() = default;
  CMemoryLedger(const CMemoryLedger&) = delete;
  CMemoryLedger& operator=(const CMemoryLedger&) = delete;
  ~CMemoryLedger();

  // Null when failing is switched on (counted in FailedCount()).
  void* Allocate(uint64_t size, uint32_t zeroFill);
  enum class EFree { kFreed, kNull, kUnknown };
  EFree Free(void* block);

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
    return it->second;
  }

 private:
  std::unordered_map<void*, uint64_t> mBlocks;  // block -> requested size
  uint64_t mLiveBytes = 0;
  uint64_t mAllocations = 0;
  uint64_t mFrees = 0;
  uint64_t mFailed = 0;
  bool mFailing = false;
};

}  // namespace vhost
