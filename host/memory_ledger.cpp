#include "host/memory_ledger.h"

#include <cstdlib>
#include <cstring>

namespace vhost {

CMemoryLedger::~CMemoryLedger() {
  for (auto& [block, size] : mBlocks) std::free(block);
}

void* CMemoryLedger::Allocate(uint64_t size, uint32_t zeroFill) {
  if (mFailing) {
    ++mFailed;
    return nullptr;
  }
  // A zero-byte request still gets a distinct block, as malloc-style hosts do.
  const size_t bytes = size == 0 ? 1 : static_cast<size_t>(size);
  void* block = std::malloc(bytes);
  if (block == nullptr) {
    ++mFailed;
    return nullptr;
  }
  std::memset(block, zeroFill == 1 ? 0 : 0xCD, bytes);
  mBlocks.emplace(block, size);
  mLiveBytes += size;
  ++mAllocations;
  return block;
}

CMemoryLedger::EFree CMemoryLedger::Free(void* block) {
  if (block == nullptr) return EFree::kNull;
  auto it = mBlocks.find(block);
  if (it == mBlocks.end()) return EFree::kUnknown;
  mLiveBytes -= it->second;
  mBlocks.erase(it);
  std::free(block);
  ++mFrees;
  return EFree::kFreed;
}

}  // namespace vhost
