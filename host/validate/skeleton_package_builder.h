// Skeleton packages built at the literal offsets (52-byte header, 44-byte
// points), valid or deliberately damaged, for feeding data=skel inputs.
//
// Thread-safety: a plain value.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace vhost::validate {

class CSkeletonPackage {
 public:
  // `points` points named "p0", "p1", ... at random coordinates; the header
  // says `points` unless `claimedPoints` says otherwise.
  CSkeletonPackage(uint32_t points, std::mt19937_64& rng, int64_t claimedPoints = -1);

  void SetSignature(uint32_t signature);
  // A new frame: the update count goes up and the coordinates move.
  void NextFrame(std::mt19937_64& rng);
  const void* Block() const { return mBytes.data(); }

 private:
  void Fill(std::mt19937_64& rng);
  std::vector<unsigned char> mBytes;
  uint32_t mPoints;
  uint32_t mUpdateCount = 1;
};

}  // namespace vhost::validate
