// Heap blocks with guard bytes on both sides, for memory the host hands to
// plug-ins (AllocateMemory blocks, image buffer records): a plug-in that
// writes just outside what it was given damages a guard, and the host finds
// out when the block is freed or checked, instead of corrupting its own heap
// in silence.
//
// A block is 16-byte aligned; 16 guard bytes of a fixed pattern lie before it
// and 16 after its last byte. Writes further away are not seen.
//
// Thread-safety: plain functions on memory the caller owns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vhost {

inline constexpr size_t kGuardBytes = 16;
inline constexpr size_t kGuardedBlockAlignment = 16;

// How far outside a block the guards were written: the number of bytes from
// the block's start back to the farthest damaged byte before it, and from its
// end to the farthest damaged byte after it.
struct CGuardDamage {
  size_t mBefore = 0;
  size_t mAfter = 0;
  bool Any() const { return mBefore != 0 || mAfter != 0; }
};

// `size` bytes (a distinct block even for 0), every byte set to `fill`;
// null when memory is exhausted.
void* AllocateGuarded(size_t size, unsigned char fill);
// REQUIRES: block came from AllocateGuarded with this size, or is null.
void FreeGuarded(void* block, size_t size);
CGuardDamage CheckGuards(const void* block, size_t size);

// "wrote 1 byte(s) past the end of its 32-byte AllocateMemory block" (and
// "... before the start of ..." likewise; both when both sides were hit).
std::string DescribeGuardDamage(const CGuardDamage& damage, uint64_t size, const std::string& what);

}  // namespace vhost
