// A watcher's stream counters (contract/watcher_stream.h), read from outside
// the plug-in: the record at the end of an instance's data block.
//
// The host reads it between calls into the plug-in. Any other plug-in, and a
// watcher built before the record existed, has no such tail: the reader then
// gives nothing.
//
// Thread-safety: plain functions over memory the caller keeps alive.
#pragma once

#include <cstdint>
#include <optional>

#include "contract/watcher_stream.h"

namespace vhost {

class CHost;
class CActorInstance;

// The record at the end of a block of `blockSize` bytes; nothing when the
// block is null, smaller than the record, or its tail is not the record.
std::optional<CWatcherStreamCounters> ReadWatcherStreamCounters(const void* block, uint64_t blockSize);
// The record of an instance whose data block came from the host's
// AllocateMemory; nothing when it has none.
std::optional<CWatcherStreamCounters> ReadWatcherStreamCounters(const CHost& host,
                                                                const CActorInstance& instance);

}  // namespace vhost
