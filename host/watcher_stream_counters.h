// The watcher's stream counters, read from outside the plug-in.
//
// A watcher keeps, as the last 32 bytes of its instance data block (the
// block mActorDataPtr points to), a record of how its stream went:
//
//   byte  0  uint32  signature 'wscn' (0x7773636E)
//   byte  4  uint32  version (1)
//   byte  8  uint64  frames accepted (published on `skeleton` with a trigger)
//   byte 16  uint64  datagrams rejected (reached the instance, were not frames)
//   byte 24  uint64  messages dropped (pending queue full)
//
// The host reads it between calls into the plug-in. Any other plug-in, and a
// watcher built before the record existed, has no such tail: the reader then
// gives nothing.
//
// Thread-safety: plain functions over memory the caller keeps alive.
#pragma once

#include <cstdint>
#include <optional>

namespace vhost {

class CHost;
class CActorInstance;

struct CWatcherStreamCounters {
  uint64_t mFramesAccepted = 0;
  uint64_t mDatagramsRejected = 0;
  uint64_t mMessagesDropped = 0;
};

inline constexpr uint32_t kWatcherCountersSignature = 0x7773636E;  // 'wscn'
inline constexpr uint32_t kWatcherCountersVersion = 1;
inline constexpr uint64_t kWatcherCountersSize = 32;

// The record at the end of a block of `blockSize` bytes; nothing when the
// block is null, smaller than the record, or its tail is not the record.
std::optional<CWatcherStreamCounters> ReadWatcherStreamCounters(const void* block, uint64_t blockSize);
// The record of an instance whose data block came from the host's
// AllocateMemory; nothing when it has none.
std::optional<CWatcherStreamCounters> ReadWatcherStreamCounters(const CHost& host,
                                                                const CActorInstance& instance);

}  // namespace vhost
