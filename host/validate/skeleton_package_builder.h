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
  // `points` points named "p0", "p1", ... at random coordinates. The header
  // always tells the truth about the count: a consumer cannot know the size
  // of the block, so a package that claims more points than it holds is
  // the producer's fault, and no test of a consumer.
  CSkeletonPackage(uint32_t points, std::mt19937_64& rng);

  void SetSignature(uint32_t signature);
  // Version, skeleton ID, tracking state and unit bytes of no known meaning.
  void DamageHeader();
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
