#include "joint_decoder/output_property_id.h"

#include "framework/actor_assert.h"
#include "joint_decoder/bonesplit_name.h"

namespace {
constexpr int32_t kFirstUpperIndex = 100;
constexpr int32_t kFirstLowerIndex = kFirstUpperIndex + kTwoCharMax;  // 776
constexpr int32_t kLastLowerIndex = kFirstLowerIndex + kTwoCharMax - 1;  // 1451
}  // namespace

uint32_t OutputPropertyID(VorlaneParameters* params, int32_t inIndex) {
  VORL_ASSERT(params, kBonesplitName, inIndex >= 0 && inIndex < kTwoCharMax * 2);
  char third = 0;
  char fourth = 0;
  if (inIndex >= 0 && inIndex < kFirstUpperIndex) {
    third = static_cast<char>('0' + inIndex / 10);
    fourth = static_cast<char>('0' + inIndex % 10);
  } else if (inIndex >= kFirstUpperIndex && inIndex < kFirstLowerIndex) {
    third = static_cast<char>('A' + (inIndex - kFirstUpperIndex) / 26);
    fourth = static_cast<char>('A' + (inIndex - kFirstUpperIndex) % 26);
  } else if (inIndex >= kFirstLowerIndex && inIndex <= kLastLowerIndex) {
    third = static_cast<char>('a' + (inIndex - kFirstLowerIndex) / 26);
    fourth = static_cast<char>('a' + (inIndex - kFirstLowerIndex) % 26);
  } else {
    VORL_ASSERT(params, kBonesplitName, false);
  }
  return (uint32_t{'o'} << 24) | (uint32_t{'t'} << 16) |
         (static_cast<uint32_t>(static_cast<unsigned char>(third)) << 8) |
         static_cast<uint32_t>(static_cast<unsigned char>(fourth));
}
