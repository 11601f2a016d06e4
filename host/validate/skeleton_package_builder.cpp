#include "host/validate/skeleton_package_builder.h"

#include <cstdio>
#include <cstring>

#include "host/record_layout.h"

namespace vhost::validate {

CSkeletonPackage::CSkeletonPackage(uint32_t points, std::mt19937_64& rng)
    : mBytes(layout::kSkelHeaderSize + points * layout::kSkelPointSize + 64, 0), mPoints(points) {
  unsigned char* b = mBytes.data();
  layout::WriteAt<uint32_t>(b, layout::kSkelSignature, layout::kSkeletonSignature);
  b[layout::kSkelVersion] = 1;
  std::memcpy(b + layout::kSkelTypeName, "skeleton", 9);
  b[layout::kSkelSkeletonID] = 1;
  b[layout::kSkelTrackingState] = 2;
  layout::WriteAt<uint32_t>(b, layout::kSkelPointCount, points);
  for (uint32_t i = 0; i < points; ++i) {
    char name[layout::kSkelPointNameSize] = {};
    std::snprintf(name, sizeof name, "p%u", i);
    std::memcpy(b + layout::kSkelHeaderSize + i * layout::kSkelPointSize + layout::kSkelPointName, name, sizeof name);
  }
  Fill(rng);
}

void CSkeletonPackage::SetSignature(uint32_t signature) {
  layout::WriteAt<uint32_t>(mBytes.data(), layout::kSkelSignature, signature);
}

void CSkeletonPackage::DamageHeader() {
  unsigned char* b = mBytes.data();
  b[layout::kSkelVersion] = 0xFF;
  b[layout::kSkelSkeletonID] = 0xFF;
  b[layout::kSkelTrackingState] = 0xFF;
  b[layout::kSkelUnit] = 0xFF;
}

void CSkeletonPackage::Fill(std::mt19937_64& rng) {
  std::uniform_real_distribution<float> coordinate(-2.0f, 2.0f);
  unsigned char* b = mBytes.data();
  layout::WriteAt<uint32_t>(b, layout::kSkelUpdateCount, mUpdateCount);
  for (uint32_t i = 0; i < mPoints; ++i) {
    unsigned char* p = b + layout::kSkelHeaderSize + i * layout::kSkelPointSize;
    layout::WriteAt<float>(p, layout::kSkelPointX, coordinate(rng));
    layout::WriteAt<float>(p, layout::kSkelPointY, coordinate(rng));
    layout::WriteAt<float>(p, layout::kSkelPointZ, coordinate(rng));
  }
}

void CSkeletonPackage::NextFrame(std::mt19937_64& rng) {
  ++mUpdateCount;
  Fill(rng);
}

}  // namespace vhost::validate
