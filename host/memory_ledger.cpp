#include "host/memory_ledger.h"

#include <fmt/format.h>

namespace vhost {

CMemoryLedger::~CMemoryLedger() {
  for (auto& [block, entry] : mBlocks) FreeGuarded(block, entry.mSize);
}

void* CMemoryLedger::Allocate(uint64_t size, uint32_t zeroFill, CAllocationSite site) {
  if (mFailing || size > SIZE_MAX / 2) {
    ++mFailed;
    return nullptr;
  }
  void* block = AllocateGuarded(static_cast<size_t>(size), zeroFill == 1 ? 0x00 : 0xCD);
  if (block == nullptr) {
    ++mFailed;
    return nullptr;
  }
  mBlocks.emplace(block, CBlock{size, std::move(site)});
  mLiveBytes += size;
  ++mAllocations;
  return block;
}

CMemoryLedger::EFree CMemoryLedger::Free(void* block) {
  if (block == nullptr) return EFree::kNull;
  auto it = mBlocks.find(block);
  if (it == mBlocks.end()) return EFree::kUnknown;
  mLiveBytes -= it->second.mSize;
  FreeGuarded(block, static_cast<size_t>(it->second.mSize));
  mBlocks.erase(it);
  ++mFrees;
  return EFree::kFreed;
}

std::optional<std::string> CMemoryLedger::Describe(const void* block, CBlock& entry) {
  if (entry.mDamageReported) return std::nullopt;
  const CGuardDamage damage = CheckGuards(block, static_cast<size_t>(entry.mSize));
  if (!damage.Any()) return std::nullopt;
  entry.mDamageReported = true;
  const std::string who = entry.mSite.mInstance.empty() ? "a plug-in" : fmt::format("'{}'", entry.mSite.mInstance);
  const std::string where = entry.mSite.mEntryPoint.empty() ? "outside any entry point" : "in " + entry.mSite.mEntryPoint;
  return fmt::format("{} {} (allocated {})", who, DescribeGuardDamage(damage, entry.mSize, "AllocateMemory block"),
                     where);
}

std::optional<std::string> CMemoryLedger::GuardDamage(const void* block) {
  const auto it = mBlocks.find(const_cast<void*>(block));
  if (it == mBlocks.end()) return std::nullopt;
  return Describe(block, it->second);
}

std::vector<std::string> CMemoryLedger::CheckAllGuards() {
  std::vector<std::string> found;
  for (auto& [block, entry] : mBlocks) {
    if (auto text = Describe(block, entry)) found.push_back(std::move(*text));
  }
  return found;
}

}  // namespace vhost
