// CWatcherStreamCounters: what one watcher instance made of the datagrams
// that reached it. It is the last member of the instance's data block, so a
// host finds it at (block size - 32) without knowing the rest of the block;
// the signature tells it that the record is there.
//
// Thread-safety: written only on the host's main thread inside the watcher's
// entry points; the host reads it between calls.
#pragma once

#include <cstdint>

struct CWatcherStreamCounters {
  static constexpr uint32_t kSignature = 0x7773636E;  // 'wscn'
  static constexpr uint32_t kVersion = 1;

  uint32_t mSignature;          // kSignature, written in CreateActor
  uint32_t mVersion;            // kVersion
  uint64_t mFramesAccepted;     // frames published on `skeleton` with a `recv_pkt` trigger
  uint64_t mDatagramsRejected;  // datagrams that reached this instance and were not frames
  uint64_t mMessagesDropped;    // messages dropped because the pending queue was full
};

static_assert(sizeof(CWatcherStreamCounters) == 32, "the host reads the record as 32 bytes");
