// The host's reference-counted texture object, reached from a 'txtr' video
// record at byte 16.
//
// The object's first word points to its table of operations; each operation
// takes the object itself. The sixth retains the object and the seventh
// releases it; a video input that keeps a texture object holds one retain.
// Nothing else of the object is used.
//
// Thread-safety: called only on the host's thread that delivers the actor's
// messages.
#pragma once

#include <cstddef>
#include <cstring>

using HostTextureOperation = void (*)(void* self);

namespace HostTextureSlot {
inline constexpr size_t kRetain = 5;   // sixth operation
inline constexpr size_t kRelease = 6;  // seventh operation
inline constexpr size_t kCount = 7;    // the table holds at least this many entries
}  // namespace HostTextureSlot

// Calls operation `slot` of `texture`; null objects, tables and entries are
// skipped.
inline void CallHostTextureOperation(void* texture, size_t slot) {
  if (texture == nullptr) return;
  const HostTextureOperation* table = nullptr;
  std::memcpy(&table, texture, sizeof(table));
  if (table == nullptr || table[slot] == nullptr) return;
  table[slot](texture);
}

inline void RetainHostTexture(void* texture) {
  CallHostTextureOperation(texture, HostTextureSlot::kRetain);
}

inline void ReleaseHostTexture(void* texture) {
  CallHostTextureOperation(texture, HostTextureSlot::kRelease);
}
