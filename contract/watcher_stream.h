// What a host may read of a watcher's stream without knowing the plug-in:
// the counter record at the end of the watcher's instance data, and the
// names of the properties that carry the rest. The watcher keeps the
// record; hosts and tools read it. Depends on nothing.
//
// The record is the last member of the instance's data block (the block
// mActorDataPtr points to), so a host finds it at (block size - 32); the
// signature tells it that the record is there:
//
//   byte  0  uint32  signature 'wscn' (0x7773636E)
//   byte  4  uint32  version (1)
//   byte  8  uint64  frames accepted (published on `skeleton` with a trigger)
//   byte 16  uint64  datagrams rejected (reached the instance, were not frames)
//   byte 24  uint64  messages dropped (pending queue full)
//
// Thread-safety: written only on the host's main thread inside the
// watcher's entry points; the host reads it between calls.
#pragma once

#include <cstddef>
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
static_assert(offsetof(CWatcherStreamCounters, mFramesAccepted) == 8, "");
static_assert(offsetof(CWatcherStreamCounters, mDatagramsRejected) == 16, "");
static_assert(offsetof(CWatcherStreamCounters, mMessagesDropped) == 24, "");

// The properties a watcher announces its stream on.
struct CWatcherStreamProperties {
  const char* mReceived;  // trigger output: one value per frame received
  const char* mPort;      // input: the port it listens on
  const char* mError;     // text output: empty while the receiver is fine
};

inline constexpr CWatcherStreamProperties kWatcherStreamProperties = {"recv_pkt", "recv_ip_port", "error"};
