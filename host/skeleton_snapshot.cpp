#include "host/skeleton_snapshot.h"

#include <algorithm>
#include <cstring>

#include "host/record_layout.h"

namespace vhost {

namespace {

// A fixed-size char field up to its first NUL (or the whole field).
std::string BoundedText(const unsigned char* field, size_t size) {
  const auto* end = static_cast<const unsigned char*>(std::memchr(field, 0, size));
  return std::string(reinterpret_cast<const char*>(field),
                     end != nullptr ? static_cast<size_t>(end - field) : size);
}

}  // namespace

const CSkeletonPoint* CSkeletonSnapshot::Find(const std::string& name) const {
  auto it = std::find_if(mPoints.begin(), mPoints.end(),
                         [&](const CSkeletonPoint& p) { return p.mName == name; });
  return it != mPoints.end() ? &*it : nullptr;
}

std::optional<CSkeletonSnapshot> DecodeSkeleton(const void* block) {
  using namespace layout;
  if (block == nullptr || ReadAt<uint32_t>(block, kSkelSignature) != kSkeletonSignature) {
    return std::nullopt;
  }
  const auto* bytes = static_cast<const unsigned char*>(block);
  CSkeletonSnapshot s;
  s.mSignature = kSkeletonSignature;
  s.mVersion = ReadAt<uint8_t>(block, kSkelVersion);
  s.mUpdateCount = ReadAt<uint32_t>(block, kSkelUpdateCount);
  s.mTypeName = BoundedText(bytes + kSkelTypeName, kSkelTypeNameSize);
  s.mReserved = ReadAt<int32_t>(block, kSkelReserved);
  s.mSkeletonID = ReadAt<uint8_t>(block, kSkelSkeletonID);
  s.mTrackingState = ReadAt<uint8_t>(block, kSkelTrackingState);
  s.mUnit = ReadAt<uint8_t>(block, kSkelUnit);
  s.mLabelHash = ReadAt<uint64_t>(block, kSkelLabelHash);
  s.mPointCount = ReadAt<uint32_t>(block, kSkelPointCount);
  const uint32_t count = std::min(s.mPointCount, kMaxDecodedPoints);
  s.mPoints.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const unsigned char* point = bytes + kSkelHeaderSize + size_t{i} * kSkelPointSize;
    CSkeletonPoint p;
    p.mName = BoundedText(point + kSkelPointName, kSkelPointNameSize);
    p.mX = ReadAt<float>(point, kSkelPointX);
    p.mY = ReadAt<float>(point, kSkelPointY);
    p.mZ = ReadAt<float>(point, kSkelPointZ);
    s.mPoints.push_back(std::move(p));
  }
  return s;
}

}  // namespace vhost
