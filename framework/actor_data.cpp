#include "framework/actor_data.h"

#include <cstring>

#include "framework/actor_assert.h"
#include "framework/host_services.h"
#include "skeleton/skeleton_pkg.h"

void* CreateActorData(VorlaneParameters* params, ActorInfo* info, uint64_t size,
                      const char* actorName) {
  void* block = Host::AllocateMemory(params, size, 1);
  VORL_ASSERT_TEXT(params, actorName, block != nullptr, "info != nil");
  info->mActorDataPtr = block;
  return block;
}

uint16_t DisposeActorData(VorlaneParameters* params, ActorInfo* info, const char* actorName) {
  VORL_ASSERT_TEXT(params, actorName, info->mActorDataPtr != nullptr,
                   "ioActorInfo->mActorDataPtr != nil");
  const uint16_t result = Host::FreeMemory(params, info->mActorDataPtr);
  info->mActorDataPtr = nullptr;
  return result;
}

bool SkeletonPropertyValueToString(uint8_t kind, uint16_t index, uint8_t skeletonKind,
                                   uint16_t skeletonIndex, char* text) {
  if (kind != skeletonKind || index != skeletonIndex || text == nullptr) return false;
  std::strcpy(text, GetSkeletonPkgName());
  return true;
}
