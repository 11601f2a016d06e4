// A decoded copy of a skeleton package, read from the producer's block at
// the literal offsets (52-byte header, 44-byte points) at the moment it was
// sent, so that tests can look at every frame after the producer has
// rewritten the block.
//
// Thread-safety: a plain value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vhost {

struct CSkeletonPoint {
  std::string mName;
  float mX = 0, mY = 0, mZ = 0;
};

struct CSkeletonSnapshot {
  uint32_t mSignature = 0;
  uint8_t mVersion = 0;
  uint32_t mUpdateCount = 0;
  std::string mTypeName;
  int32_t mReserved = 0;
  uint8_t mSkeletonID = 0;
  uint8_t mTrackingState = 0;
  uint8_t mUnit = 0;
  uint64_t mLabelHash = 0;
  uint32_t mPointCount = 0;            // as the header says
  std::vector<CSkeletonPoint> mPoints;  // at most kMaxDecodedPoints of them

  // A point by name, or null.
  const CSkeletonPoint* Find(const std::string& name) const;
};

// Beyond this the header is taken as corrupt rather than read out of bounds.
inline constexpr uint32_t kMaxDecodedPoints = 4096;

// The package at `block` when its first u32 is 'skel'; nothing otherwise (a
// null block included).
std::optional<CSkeletonSnapshot> DecodeSkeleton(const void* block);

}  // namespace vhost
