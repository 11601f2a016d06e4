#include "host/guarded_block.h"

#include <fmt/format.h>

#include <cstring>
#include <new>

namespace vhost {

namespace {

constexpr unsigned char kGuardPattern = 0xFD;
constexpr std::align_val_t kAlignment{kGuardedBlockAlignment};
static_assert(kGuardBytes % kGuardedBlockAlignment == 0, "the block after the front guard stays aligned");

unsigned char* Base(const void* block) {
  return static_cast<unsigned char*>(const_cast<void*>(block)) - kGuardBytes;
}

}  // namespace

void* AllocateGuarded(size_t size, unsigned char fill) {
  if (size > SIZE_MAX - 2 * kGuardBytes) return nullptr;
  auto* base = static_cast<unsigned char*>(::operator new(size + 2 * kGuardBytes, kAlignment, std::nothrow));
  if (base == nullptr) return nullptr;
  std::memset(base, kGuardPattern, kGuardBytes);
  std::memset(base + kGuardBytes, fill, size);
  std::memset(base + kGuardBytes + size, kGuardPattern, kGuardBytes);
  return base + kGuardBytes;
}

void FreeGuarded(void* block, size_t) {
  if (block == nullptr) return;
  ::operator delete(Base(block), kAlignment);
}

CGuardDamage CheckGuards(const void* block, size_t size) {
  CGuardDamage damage;
  if (block == nullptr) return damage;
  const unsigned char* base = Base(block);
  for (size_t i = 0; i < kGuardBytes; ++i) {
    if (base[i] != kGuardPattern) {
      damage.mBefore = kGuardBytes - i;
      break;
    }
  }
  const unsigned char* tail = base + kGuardBytes + size;
  for (size_t i = kGuardBytes; i > 0; --i) {
    if (tail[i - 1] != kGuardPattern) {
      damage.mAfter = i;
      break;
    }
  }
  return damage;
}

std::string DescribeGuardDamage(const CGuardDamage& damage, uint64_t size, const std::string& what) {
  std::string text;
  if (damage.mAfter != 0) text = fmt::format("wrote {} byte(s) past the end", damage.mAfter);
  if (damage.mBefore != 0) {
    text += fmt::format("{}wrote {} byte(s) before the start", text.empty() ? "" : " and ", damage.mBefore);
  }
  return fmt::format("{} of its {}-byte {}", text, size, what);
}

}  // namespace vhost
