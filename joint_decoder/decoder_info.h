// DecoderInfo: the per-instance record of a Bonesplit actor.
//
// The host allocates it zero-filled (AllocateMemory) in CreateActor and it is
// returned in DisposeActor; it is reached through ActorInfo::mActorDataPtr.
// It must therefore stay a trivial record: no constructors, no owning C++
// members. [main thread] only; no locks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "framework/vorlane_types.h"

inline constexpr size_t kRelativeToNameSize = 256;

struct DecoderInfo {
  ActorInfo* mActorInfo;     // the owning actor
  int32_t mChannelCount;     // coordinate output triples
  // Layout of the last skeleton that rebuilt the map on arrival; 0 after
  // activation, so the first skeleton always rebuilds.
  uint32_t mLastPointCount;
  uint64_t mLastLabelHash;
  // The body point map: entry k is the point channel k reports. Owned here
  // (new[] / delete[]); null before the first rebuild and after deactivation.
  uint32_t mBodyPointMapCount;
  uint32_t* mBodyPointMap;
  float mOffsetX;
  float mOffsetY;
  float mOffsetZ;
  char mRelativeToName[kRelativeToNameSize];  // empty: no reference joint
  bool mRelativeToChanged;                    // look the reference joint up again at the next send
  int32_t mRelativeToIndex;                   // point index of the reference joint, -1 for none
};
static_assert(std::is_trivial_v<DecoderInfo>, "DecoderInfo lives in a zero-filled host block");
