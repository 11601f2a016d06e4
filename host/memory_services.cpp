#include "host/memory_services.h"

#include <fmt/format.h>

#include "host/entry_point_call.h"
#include "host/plugin_abi.h"

namespace vhost {

void* CMemoryServices::AllocateMemory(uint64_t size, uint32_t zeroFill) {
  mLedger.SetFailing(mSwitches.mFailAllocateMemory);
  CMemoryLedger::CAllocationSite site;
  if (const CEntryPointCall* call = CEntryPointCall::Current())
    site = {call->Instance(), call->Describe()};
  return mLedger.Allocate(size, zeroFill, std::move(site));
}

uint16_t CMemoryServices::FreeMemory(void* block) {
  if (const auto size = mLedger.BlockSize(block)) {
    mCheckNotPublished(block, *size);
    if (auto damage = mLedger.GuardDamage(block)) {
      mContext.mReport(fmt::format("{}; found when it was freed in {}", *damage,
                                   CEntryPointCall::DescribeCurrent()));
    }
  }
  if (mLedger.Free(block) == CMemoryLedger::EFree::kUnknown) {
    mContext.mReport(
        fmt::format("FreeMemory of {}, which is not a live block of this host", block));
    return kErrBadArgument;
  }
  return kNoError;
}

}  // namespace vhost
